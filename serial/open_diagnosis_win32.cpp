// Why a device cannot be opened, in Windows terms. A mirror image of
// open_diagnosis_posix.cpp: the port names, the kinds of failure, the checks
// made before and after opening.

#include <windows.h>

#include <string>

#include "serial/comm_device.h"
#include "serial/open_diagnosis.h"

namespace {

// Ports above COM9 open only through the device namespace; the lower ones
// open the same way.
constexpr char kDeviceNamespace[] = "\\\\.\\";

}  // namespace

std::optional<std::string> ResolveDevicePath(const std::string& name) {
  // A NUL inside the name would cut the path short and open another device.
  if (name.empty() || name.find('\0') != std::string::npos) return std::nullopt;
  return kDeviceNamespace + name;
}

namespace {

OpenFailureKind KindOfWin32Error(DWORD number) {
  switch (number) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
      return OpenFailureKind::kNoDevice;
    // A COM port opens for one handle at a time: access denied on a port
    // that exists means another program holds it.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      return OpenFailureKind::kBusy;
    default:
      return OpenFailureKind::kOther;
  }
}

}  // namespace

bool RefuseOpen(OpenFailure& failure, int number) {
  return RefuseOpen(failure, KindOfWin32Error(static_cast<DWORD>(number)), number);
}

// What can be told before opening: the path. Whether the device is a port,
// and whether another program holds it, only opening tells.
bool PrepareOpen(const std::string& name, OpenFailure& failure) {
  failure = OpenFailure{};
  const auto path = ResolveDevicePath(name);
  failure.device = path.value_or(name);
  if (!path) return RefuseOpen(failure, ERROR_FILE_NOT_FOUND);
  return true;
}

OpenFailure CheckDeviceAccess(const std::string& name) {
  OpenFailure failure;
  OpenCommDevice(name, failure);
  return failure;
}
