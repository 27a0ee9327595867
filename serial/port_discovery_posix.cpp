// The serial ports present, read from sysfs and /dev/serial/by-id.
//
// sysfs rather than libudev: the attributes we show are plain files there,
// readable by any user and without the udev daemon (containers, minimal
// systems), a test can build the same tree in a folder, and it costs no
// dependency. The by-id names are udev's own symlinks, read as links.

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <system_error>

#include "serial/port_discovery.h"

namespace fs = std::filesystem;

namespace {

// How far up from a tty's device its USB device may sit: the port of a
// USB-serial driver hangs below the interface, an ACM port is the interface.
constexpr int kUsbLevels = 3;
constexpr int kSerialBaseLevels = 2;

fs::path Under(const std::string& root, const std::string& absolute) {
  if (root.empty() || root == "/") return absolute;
  return fs::path(root) / absolute.substr(1);
}

std::string ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  std::string value;
  std::getline(in, value);
  while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back()))) value.pop_back();
  return value;
}

// tty names sort by their stem, then by their number: ttyS2 before ttyS10.
bool NameBefore(const std::string& a, const std::string& b) {
  const auto split = [](const std::string& name) {
    size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
    const std::string number = name.substr(digits);
    return std::make_pair(name.substr(0, digits),
                          number.empty() || number.size() > 9 ? -1L : std::stol(number));
  };
  return split(a) < split(b);
}

// The tty name each by-id link leads to, with the link's path.
std::map<std::string, std::string> ByIdNames(const std::string& root) {
  std::map<std::string, std::string> names;
  std::error_code ec;
  const fs::path folder = Under(root, "/dev/serial/by-id");
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const fs::path target = fs::read_symlink(entry.path(), ec);
    if (ec) continue;
    const fs::path resolved = target.is_absolute()
                                  ? Under(root, target.string())
                                  : (entry.path().parent_path() / target).lexically_normal();
    names.emplace(resolved.filename().string(), entry.path().string());
  }
  return names;
}

// The device that has the port's driver. Since Linux 6.5 a serial-core port
// sits below two devices of the "serial-base" bus, whose drivers ("port",
// "ctrl") say nothing of the hardware; the hardware is above them.
fs::path HardwareOf(const fs::path& device) {
  std::error_code ec;
  fs::path at = device;
  for (int level = 0; level < kSerialBaseLevels; ++level) {
    if (fs::read_symlink(at / "subsystem", ec).filename() != "serial-base" || ec) break;
    at = at.parent_path();
  }
  return at;
}

// The USB device a tty's device belongs to, or an empty path.
fs::path UsbDeviceOf(const fs::path& device, const fs::path& sysRoot) {
  std::error_code ec;
  fs::path at = device;
  for (int level = 0; level <= kUsbLevels; ++level) {
    if (fs::exists(at / "idVendor", ec)) return at;
    if (at == sysRoot || !at.has_parent_path() || at.parent_path() == at) break;
    at = at.parent_path();
  }
  return {};
}

void DescribeUsb(SerialPortInfo& port, const fs::path& usb) {
  port.adapter = true;
  port.vendor_id = ReadAttribute(usb / "idVendor");
  port.product_id = ReadAttribute(usb / "idProduct");
  port.serial_number = ReadAttribute(usb / "serial");
  const std::string maker = ReadAttribute(usb / "manufacturer");
  const std::string product = ReadAttribute(usb / "product");
  port.description = maker.empty() || product.empty() ? maker + product : maker + " " + product;
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts() {
  return ListSerialPorts("/");
}

std::vector<SerialPortInfo> ListSerialPorts(const std::string& root) {
  std::error_code ec;
  const fs::path sysRoot = fs::canonical(Under(root, "/sys"), ec);
  if (ec) return {};
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(sysRoot / "class/tty", ec))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end(), NameBefore);

  const auto byId = ByIdNames(root);
  std::vector<SerialPortInfo> ports;
  for (const std::string& name : names) {
    const fs::path tty = sysRoot / "class/tty" / name;
    // Virtual consoles, ptmx and the like have no device behind them.
    const fs::path device = fs::canonical(tty / "device", ec);
    if (ec) continue;
    // A serial-core port without a UART reads as type 0 (PORT_UNKNOWN): the
    // kernel makes ttyS0 to ttyS3 whether or not anything answers there.
    if (fs::exists(tty / "type", ec) && ReadAttribute(tty / "type") == "0") continue;

    SerialPortInfo port;
    port.device = Under(root, "/dev/" + name).string();
    if (const auto found = byId.find(name); found != byId.end()) port.by_id = found->second;
    const fs::path driver = fs::read_symlink(HardwareOf(device) / "driver", ec);
    if (!ec) port.driver = driver.filename().string();
    if (const fs::path usb = UsbDeviceOf(device, sysRoot); !usb.empty()) DescribeUsb(port, usb);
    ports.push_back(std::move(port));
  }
  return ports;
}
