#include "serial/serial_error.h"

void RaiseDeviceError(const std::string& message, int32_t code) {
  throw EDeviceError(message, code);
}

void RaiseWin32DeviceError(const std::string& message, int32_t code, const SystemError& error) {
  RaiseDeviceError(message + " (Win32 error " + std::to_string(error.number) + ": " +
                       TrimSystemText(error.text) + ")",
                   code);
}
