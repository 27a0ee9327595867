#include "serial/serial_error.h"

void RaiseDeviceError(const std::string& message, int32_t code) {
  throw EDeviceError(message, code);
}

void RaiseWin32DeviceError(const std::string& message, int32_t code, const SystemError& error) {
  const SystemError cause{error.number, TrimSystemText(error.text)};
  throw EDeviceError(
      message + " (Win32 error " + std::to_string(cause.number) + ": " + cause.text + ")", code,
      cause);
}
