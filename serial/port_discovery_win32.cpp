// The serial ports present, read from HKLM\HARDWARE\DEVICEMAP\SERIALCOMM: each
// value names a port driver's device ("\Device\Serial0", "\Device\VCP0") and
// holds the COM name it answers to.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cwctype>
#include <string>

#include "platform/wide_text.h"
#include "serial/port_discovery.h"

namespace {

const wchar_t kSerialComm[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
// The device prefix of every value name, and the built-in ports' driver.
const wchar_t kDevicePrefix[] = L"\\Device\\";
const char kBuiltInDriver[] = "Serial";

// "\Device\VCP0" -> "VCP": the driver's device name without its number.
std::string DriverOf(std::wstring name) {
  if (name.rfind(kDevicePrefix, 0) == 0) name.erase(0, std::size(kDevicePrefix) - 1);
  while (!name.empty() && std::iswdigit(name.back())) name.pop_back();
  return Utf8FromWide(name);
}

// COM names sort by their number: COM2 before COM10.
unsigned long ComNumber(const std::string& name) {
  return name.size() > 3 ? std::strtoul(name.c_str() + 3, nullptr, 10) : 0;
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts() {
  std::vector<SerialPortInfo> ports;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return ports;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD nameLength = static_cast<DWORD>(std::size(name));
    wchar_t data[256];
    DWORD dataSize = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    const LONG result = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data), &dataSize);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    // The data need not end in a zero.
    data[dataSize / sizeof(wchar_t)] = L'\0';
    SerialPortInfo port;
    port.device = Utf8FromWide(data);
    if (port.device.empty()) continue;
    port.description = Utf8FromWide(std::wstring(name, nameLength));
    port.driver = DriverOf(std::wstring(name, nameLength));
    // Everything but the built-in UART driver came with an add-on: in
    // practice a USB adapter or modem.
    port.adapter = port.driver != kBuiltInDriver;
    ports.push_back(std::move(port));
  }
  RegCloseKey(key);
  std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
    return ComNumber(a.device) < ComNumber(b.device);
  });
  return ports;
}

std::vector<SerialPortInfo> ListSerialPorts(const std::string&) {
  return ListSerialPorts();
}
