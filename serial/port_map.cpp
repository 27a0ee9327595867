#include <mutex>

#include "serial/comm_device.h"

namespace {

std::mutex& PortMapMutex() {
  static std::mutex mutex;
  return mutex;
}

PortMapLookup& PortMap() {
  static PortMapLookup lookup;
  return lookup;
}

}  // namespace

void SetPortMapLookup(PortMapLookup lookup) {
  std::lock_guard<std::mutex> lock(PortMapMutex());
  PortMap() = std::move(lookup);
}

// Used by the POSIX name resolution; a store that cannot be read maps nothing.
std::optional<std::string> LookUpPortMap(const std::string& name) {
  PortMapLookup lookup;
  {
    std::lock_guard<std::mutex> lock(PortMapMutex());
    lookup = PortMap();
  }
  if (!lookup) return std::nullopt;
  try {
    return lookup(name);
  } catch (...) {
    return std::nullopt;
  }
}
