#pragma once
// A sysfs and /dev tree in a folder, shaped as Linux lays them out, for the
// port discovery: USB serial adapters, ACM modems and serial-core UARTs.

#include <filesystem>
#include <string>

class FakeSysfs {
 public:
  explicit FakeSysfs(std::filesystem::path root);

  const std::filesystem::path& root() const { return root_; }
  std::string Device(const std::string& tty) const { return (root_ / "dev" / tty).string(); }

  struct Usb {
    std::string usb_device;  // "1-1": the USB device's sysfs name
    std::string vendor_id, product_id, manufacturer, product, serial;
    std::string driver;  // ftdi_sio, cdc_acm, ...
    std::string by_id;   // the /dev/serial/by-id link's name, or empty
  };
  // ttyUSB: the port device below the interface. ttyACM: the interface.
  void AddUsbSerial(const std::string& tty, const Usb& usb);
  void AddAcm(const std::string& tty, const Usb& usb);
  // A serial-core port as Linux 6.5 lays it out (below two serial-base
  // devices); uartType 0 is PORT_UNKNOWN, no UART there.
  void AddUart(const std::string& tty, int uartType, const std::string& driver);
  // A tty with no device behind it, as a virtual console.
  void AddVirtual(const std::string& tty);
  // root/dev/TTY becomes a symlink to target (a pty slave, to open it).
  void LinkDevice(const std::string& tty, const std::string& target);

 private:
  std::filesystem::path UsbInterface(const Usb& usb);
  void AddTty(const std::string& tty, const std::filesystem::path& device);
  void Driver(const std::filesystem::path& device, const std::string& bus,
              const std::string& driver);

  std::filesystem::path root_;
};
