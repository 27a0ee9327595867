#include "serial/port_choice.h"

#include "serial/com_name.h"
#include "serial/port_discovery.h"

std::vector<std::string> StandardPortList() {
  std::vector<std::string> ports;
  for (unsigned number = 1; number <= kStandardPortCount; ++number)
    ports.push_back(ComName(number));
  return ports;
}

std::string StandardPortRange() {
  return ComName(1) + " to " + ComName(kStandardPortCount);
}

std::vector<std::string> AdapterDevices(const std::string& root) {
  std::vector<std::string> adapters;
  for (const SerialPortInfo& port : ListSerialPorts(root))
    if (port.adapter) adapters.push_back(port.device);
  return adapters;
}

bool NoteRemediableRefusal(std::vector<OpenFailure>& refusals, const OpenFailure& failure) {
  if (failure.kind != OpenFailureKind::kPermission && failure.kind != OpenFailureKind::kBusy)
    return false;
  for (const OpenFailure& known : refusals)
    if (known.device == failure.device) return false;
  refusals.push_back(failure);
  return true;
}
