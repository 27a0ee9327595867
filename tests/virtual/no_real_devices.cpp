// What a platform backend defines besides its clock, for a program whose
// component gets every device from a factory (the fuzz targets, the fault
// model): no real device opens, and names stand for themselves.

#include "serial/comm_device.h"

std::unique_ptr<CommDevice> OpenCommDevice(const std::string& name, OpenFailure& failure) {
  failure = OpenFailure{OpenFailureKind::kNoDevice, 0, {}, name, {}, {}};
  return nullptr;
}

OpenFailure CheckDeviceAccess(const std::string& name) {
  OpenFailure failure;
  OpenCommDevice(name, failure);
  return failure;
}

std::optional<std::string> ResolveDevicePath(const std::string& name) {
  if (name.empty()) return std::nullopt;
  return name;
}

uint32_t MaxQueueSize() {
  return 4096;
}
