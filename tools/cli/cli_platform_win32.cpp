// The tool on Windows: COM names alone, as the Device Manager gives them, no
// port map, and the settings store in the user's registry. A mirror image of
// cli_platform_posix.cpp.

#include <algorithm>
#include <csignal>

#include "serial/com_name.h"
#include "serial/comm_device.h"
#include "tools/cli/cli_platform.h"

namespace {

constexpr const char* kStoreKey = "HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM";

}  // namespace

const PortHelp& HelpOnPorts() {
  static const PortHelp help{
      "  ports             the COM ports this system has, whether this user can open\n"
      "                    them, and what to do when not\n",
      "  -p, --port=NAME   the port: COMn, as the Device Manager names it (default:\n"
      "                    %ORVEX_GSM_PORT%, else the window's port box, else COM2)\n",
      "ports",
      "",
  };
  return help;
}

bool HasPortMap() {
  return false;
}

// The map makes Linux device paths answer to COM names; on Windows the names
// are the system's own, and a mapping would change nothing.
std::string NoPortMapText(const std::string& command) {
  return command +
         " is for Linux only: on Windows the COM names are the system's own. To give an\n"
         "adapter another number: Device Manager, Ports (COM & LPT), the adapter's\n"
         "Properties, Port Settings, Advanced, COM Port Number";
}

// The system's list leaves out ports that still open by their name (a port
// driver that does not register there; under Wine, a COM name linked after
// the prefix started): each name that is not "no such device" is a port. Only
// names missing from the list are opened, and closed again at once.
std::vector<SerialPortInfo> PortsPresent(const std::string& sysfsRoot) {
  std::vector<SerialPortInfo> ports = ListSerialPorts(sysfsRoot);
  for (const std::string& name : AllComNames()) {
    if (std::any_of(ports.begin(), ports.end(),
                    [&](const SerialPortInfo& p) { return p.device == name; }))
      continue;
    if (CheckDeviceAccess(name).kind == OpenFailureKind::kNoDevice) continue;
    SerialPortInfo port;
    port.device = name;
    ports.push_back(port);
  }
  // COM2 before COM10.
  std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
    return ComNumber(a.device).value_or(0) < ComNumber(b.device).value_or(0);
  });
  return ports;
}

const std::vector<std::string>& PortColumns() {
  static const std::vector<std::string> columns = {"DEVICE", "IDS", "DESCRIPTION", "ACCESS",
                                                   "REMEDY"};
  return columns;
}

std::string NoPortsHint() {
  return "no serial ports found: plug the adapter in and look for it in the Device Manager\n"
         "(Win+X, Device Manager, Ports (COM & LPT)); install its driver when it is listed\n"
         "under Other devices";
}

std::string NoPortNameText(const std::string& port) {
  return "\"" + port + "\" is not a COM name (" + ComName(1) + " to " + ComName(kHighestComNumber) +
         ")";
}

std::string StoreUnwritableHint(const std::string& again) {
  return std::string("the settings are kept in the registry under ") + kStoreKey +
         ": ask the administrator to let this user change that key; then run " + again;
}

std::string StoreUnreadableHint() {
  return std::string("ask the administrator to let this user read the registry key ") + kStoreKey;
}

std::vector<int> InterruptSignals() {
  return {SIGINT, SIGTERM, SIGBREAK};
}
