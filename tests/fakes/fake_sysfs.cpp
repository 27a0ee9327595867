#include "fakes/fake_sysfs.h"

#include <fstream>

namespace fs = std::filesystem;

namespace {

void WriteAttribute(const fs::path& file, const std::string& value) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << value << "\n";
}

// sysfs links are relative, so the tree works wherever it lies.
void RelativeLink(const fs::path& target, const fs::path& link) {
  fs::create_directories(link.parent_path());
  fs::create_symlink(fs::relative(target, link.parent_path()), link);
}

}  // namespace

FakeSysfs::FakeSysfs(fs::path root) : root_(std::move(root)) {
  fs::create_directories(root_ / "sys/class/tty");
  fs::create_directories(root_ / "dev");
}

void FakeSysfs::Driver(const fs::path& device, const std::string& bus, const std::string& driver) {
  const fs::path folder = root_ / "sys/bus" / bus / "drivers" / driver;
  fs::create_directories(folder);
  RelativeLink(folder, device / "driver");
  RelativeLink(root_ / "sys/bus" / bus, device / "subsystem");
}

fs::path FakeSysfs::UsbInterface(const Usb& usb) {
  const fs::path device = root_ / "sys/devices/pci0000:00/0000:00:14.0/usb1" / usb.usb_device;
  WriteAttribute(device / "idVendor", usb.vendor_id);
  WriteAttribute(device / "idProduct", usb.product_id);
  if (!usb.manufacturer.empty()) WriteAttribute(device / "manufacturer", usb.manufacturer);
  if (!usb.product.empty()) WriteAttribute(device / "product", usb.product);
  if (!usb.serial.empty()) WriteAttribute(device / "serial", usb.serial);
  const fs::path interface = device / (usb.usb_device + ":1.0");
  WriteAttribute(interface / "bInterfaceNumber", "00");
  Driver(interface, "usb", usb.driver);
  return interface;
}

void FakeSysfs::AddTty(const std::string& tty, const fs::path& device) {
  const fs::path classDevice = device / "tty" / tty;
  fs::create_directories(classDevice);
  RelativeLink(device, classDevice / "device");
  RelativeLink(classDevice, root_ / "sys/class/tty" / tty);
  std::ofstream(root_ / "dev" / tty);
}

void FakeSysfs::AddUsbSerial(const std::string& tty, const Usb& usb) {
  const fs::path port = UsbInterface(usb) / tty;
  fs::create_directories(port);
  Driver(port, "usb-serial", usb.driver);
  AddTty(tty, port);
  if (!usb.by_id.empty()) RelativeLink(root_ / "dev" / tty, root_ / "dev/serial/by-id" / usb.by_id);
}

void FakeSysfs::AddAcm(const std::string& tty, const Usb& usb) {
  AddTty(tty, UsbInterface(usb));
  if (!usb.by_id.empty()) RelativeLink(root_ / "dev" / tty, root_ / "dev/serial/by-id" / usb.by_id);
}

void FakeSysfs::AddUart(const std::string& tty, int uartType, const std::string& driver) {
  const fs::path hardware = root_ / "sys/devices/pnp0" / tty;
  fs::create_directories(hardware);
  Driver(hardware, "pnp", driver);
  const fs::path ctrl = hardware / (tty + ":0");
  const fs::path port = ctrl / (tty + ":0.0");
  fs::create_directories(port);
  Driver(ctrl, "serial-base", "ctrl");
  Driver(port, "serial-base", "port");
  AddTty(tty, port);
  WriteAttribute(port / "tty" / tty / "type", std::to_string(uartType));
}

void FakeSysfs::AddVirtual(const std::string& tty) {
  const fs::path classDevice = root_ / "sys/devices/virtual/tty" / tty;
  fs::create_directories(classDevice);
  RelativeLink(classDevice, root_ / "sys/class/tty" / tty);
}

void FakeSysfs::LinkDevice(const std::string& tty, const std::string& target) {
  const fs::path device = root_ / "dev" / tty;
  fs::remove(device);
  fs::create_symlink(target, device);
}
