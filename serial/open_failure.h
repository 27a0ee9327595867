#pragma once
// Why a device could not be opened, as the system told it: callers that show
// it tell a missing device, a refused permission and a port held by another
// program apart. The component's own message for a failed open stays the same.

#include <string>
#include <vector>

enum class OpenFailureKind { kNone, kNoDevice, kPermission, kBusy, kNotSerialPort, kOther };

// A process that holds the device open.
struct PortHolder {
  int pid = 0;
  std::string program;
};

struct OpenFailure {
  OpenFailureKind kind = OpenFailureKind::kNone;
  int code = 0;                     // errno, or GetLastError on Windows
  std::string text;                 // the system's text for code, UTF-8
  std::string device;               // the path opened: a resolved path, or \\.\COMn
  std::vector<PortHolder> holders;  // who holds it, where the system lets us see
  // POSIX: the group owning the device node, where its members may read and
  // write it (and it is not root's); empty when joining it would not help.
  std::string group;
};
