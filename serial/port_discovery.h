#pragma once
// The serial ports present, as the system lists them: a platform service
// beside CommDevice, one backend file per platform.

#include <string>
#include <vector>

struct SerialPortInfo {
  std::string device;     // the path (or COM name) that opens it
  std::string by_id;      // its stable /dev/serial/by-id name, when udev made one
  std::string vendor_id;  // USB ids, four hexadecimal digits each
  std::string product_id;
  std::string description;  // manufacturer and product, as the device names itself
  std::string serial_number;
  std::string driver;
  bool adapter = false;  // a USB serial adapter or an ACM modem

  bool operator==(const SerialPortInfo&) const = default;
};

// The ports present, in the order of their names (ttyS2 before ttyS10).
// Linux: the ttys of /sys/class/tty that have a device behind them; a
// serial-core port (ttyS...) only where a UART answers (its "type" is not
// PORT_UNKNOWN). Windows: the values of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM.
std::vector<SerialPortInfo> ListSerialPorts();
// Linux: sysfs and /dev read under root instead of "/", so tests can build a
// tree of their own; device and by-id paths are then under root too. Windows:
// root is not used (the registry has no other tree to read).
std::vector<SerialPortInfo> ListSerialPorts(const std::string& root);
