#include "serial/serial_error.h"

std::string TrimSystemText(std::string text) {
  while (!text.empty()) {
    const auto last = static_cast<unsigned char>(text.back());
    if (last != '.' && last > 32) break;
    text.pop_back();
  }
  return text;
}

void RaiseDeviceError(const std::string& message, int32_t code) {
  throw EDeviceError(message, code);
}

void RaiseWin32DeviceError(const std::string& message, int32_t code, const SystemError& error) {
  RaiseDeviceError(message + " (Win32 error " + std::to_string(error.number) + ": " +
                       TrimSystemText(error.text) + ")",
                   code);
}
