// Why a device cannot be opened, in POSIX terms. A mirror image of
// open_diagnosis_win32.cpp: the port names, the kinds of failure, the checks
// made before and after opening.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "serial/com_name.h"
#include "serial/comm_device.h"
#include "serial/device_holders.h"
#include "serial/open_diagnosis.h"

std::optional<std::string> ResolveDevicePath(const std::string& name) {
  if (name.empty()) return std::nullopt;
  if (name.front() == '/') return name;
  const auto number = ComNumber(name);
  // The map is asked for a COM name as the tool writes it there.
  if (auto mapped = LookUpPortMap(number ? ComName(*number) : name)) return mapped;
  if (!number) return std::nullopt;
  return "/dev/ttyS" + std::to_string(*number - 1);
}

namespace {

OpenFailureKind KindOfErrno(int number) {
  switch (number) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
      return OpenFailureKind::kNoDevice;
    case EACCES:
    case EPERM:
      return OpenFailureKind::kPermission;
    case EBUSY:
    case EWOULDBLOCK:
      return OpenFailureKind::kBusy;
    case ENOTTY:
      return OpenFailureKind::kNotSerialPort;
    default:
      return OpenFailureKind::kOther;
  }
}

}  // namespace

bool RefuseOpen(OpenFailure& failure, int number) {
  return RefuseOpen(failure, KindOfErrno(number), number);
}

// What can be told before opening: the path, the device node and its group.
bool PrepareOpen(const std::string& name, OpenFailure& failure) {
  failure = OpenFailure{};
  const auto path = ResolveDevicePath(name);
  failure.device = path.value_or(name);
  if (!path) return RefuseOpen(failure, ENOENT);
  struct stat st {};
  if (stat(path->c_str(), &st) != 0) return RefuseOpen(failure, errno);
  // Joining the node's group helps only where that group may read and write
  // it; nobody is sent to join root's group.
  if (st.st_gid != 0 && (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP))
    failure.group = GroupName(st.st_gid);
  if (!S_ISCHR(st.st_mode)) return RefuseOpen(failure, ENOTTY);
  return true;
}

void NoteDeviceHolders(OpenFailure& failure) {
  struct stat st {};
  if (stat(failure.device.c_str(), &st) == 0) failure.holders = FindDeviceHolders(st.st_rdev);
}

// A program that opened the port before us without a lock would share the
// line with us unnoticed: whoever holds it already makes it busy. EBUSY is
// what the kernel answers a second open under TIOCEXCL.
bool CheckHolders(int fd, OpenFailure& failure) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return true;
  failure.holders = FindDeviceHolders(st.st_rdev);
  if (failure.holders.empty()) return true;
  return RefuseOpen(failure, EBUSY);
}

// Used for the ports that sysfs lists as terminals.
OpenFailure CheckDeviceAccess(const std::string& name) {
  OpenFailure failure;
  if (!PrepareOpen(name, failure)) return failure;
  NoteDeviceHolders(failure);
  if (!failure.holders.empty())
    RefuseOpen(failure, EBUSY);
  else if (faccessat(AT_FDCWD, failure.device.c_str(), R_OK | W_OK, AT_EACCESS) != 0)
    RefuseOpen(failure, errno);
  else
    failure = OpenFailure{};
  return failure;
}
