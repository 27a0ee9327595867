// The ports present, read from a sysfs tree built in a folder and from this
// machine's own.

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

#include "fakes/fake_sysfs.h"
#include "fakes/sim_process.h"
#include "serial/port_discovery.h"

void PrintTo(const SerialPortInfo& p, std::ostream* out) {
  *out << "{" << p.device << " | " << p.by_id << " | " << p.vendor_id << ":" << p.product_id
       << " | " << p.description << " | " << p.serial_number << " | " << p.driver << " | "
       << (p.adapter ? "adapter" : "fixed") << "}";
}

namespace {

using orvex_test::TempDir;

TEST(PortDiscovery, ListsAdaptersModemsAndAnsweringUartsWithTheirIds) {
  TempDir dir;
  FakeSysfs tree(dir.path());
  tree.AddUsbSerial("ttyUSB0", {"1-1", "0403", "6001", "FTDI", "FT232R USB UART", "A50285BI",
                                "ftdi_sio", "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"});
  tree.AddAcm("ttyACM0", {"1-2", "2341", "0043", "", "Arduino Uno", "", "cdc_acm", ""});
  tree.AddUart("ttyS0", 4, "serial");  // a 16550A answers
  tree.AddUart("ttyS1", 0, "serial");  // nothing answers
  tree.AddVirtual("tty0");

  const std::vector<SerialPortInfo> expected = {
      {tree.Device("ttyACM0"), "", "2341", "0043", "Arduino Uno", "", "cdc_acm", true},
      {tree.Device("ttyS0"), "", "", "", "", "", "serial", false},
      {tree.Device("ttyUSB0"),
       dir.path() + "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "0403",
       "6001", "FTDI FT232R USB UART", "A50285BI", "ftdi_sio", true},
  };
  EXPECT_EQ(ListSerialPorts(dir.path()), expected);
  EXPECT_TRUE(ListSerialPorts(dir.path() + "/missing").empty());
}

// Whatever this machine has (perhaps nothing): each port listed is a device
// that exists, and an adapter carries its USB ids.
TEST(PortDiscovery, ThisMachinesPortsExist) {
  for (const SerialPortInfo& port : ListSerialPorts()) {
    EXPECT_TRUE(std::filesystem::exists(port.device)) << port.device;
    if (port.adapter) {
      EXPECT_EQ(port.vendor_id.size(), 4u) << port.device;
    }
    if (!port.by_id.empty()) {
      EXPECT_TRUE(std::filesystem::equivalent(port.by_id, port.device)) << port.by_id;
    }
  }
}

}  // namespace
