// The tool on Linux: device paths beside the COM names, /dev/serial/by-id,
// the port map, the manual page, and the settings file of registry_file.h. A
// mirror image of cli_platform_win32.cpp.

#include <csignal>
#include <filesystem>

#include "serial/com_name.h"
#include "support/registry_file.h"
#include "tools/cli/cli_platform.h"

namespace {

// A path as the shell takes it whole, whatever it holds.
std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

const PortHelp& HelpOnPorts() {
  static const PortHelp help{
      "  ports             the serial ports present, whether this user can open them,\n"
      "                    and what to do when not\n"
      "  map COMn PATH     the port map: COMn opens PATH (use a /dev/serial/by-id/ name,\n"
      "                    which survives replugging)\n"
      "  map               the port map: each COM name, its path, whether it is there now\n"
      "  unmap COMn        COMn means /dev/ttyS(n-1) again\n",
      "  -p, --port=NAME   the port: COMn or a device path (default: $ORVEX_GSM_PORT,\n"
      "                    else the window's port box, else COM2)\n",
      "ports, map",
      " (see the manual page)",
  };
  return help;
}

bool HasPortMap() {
  return true;
}

// Linux has the port map: map and unmap are never refused.
std::string NoPortMapText(const std::string&) {
  return {};
}

std::vector<SerialPortInfo> PortsPresent(const std::string& sysfsRoot) {
  return ListSerialPorts(sysfsRoot);
}

const std::vector<std::string>& PortColumns() {
  static const std::vector<std::string> columns = {"DEVICE", "BY-ID",  "IDS",   "DESCRIPTION",
                                                   "MAPPED", "ACCESS", "REMEDY"};
  return columns;
}

std::string NoPortsHint() {
  return "no serial ports found: check that the adapter is plugged in, then look at what the\n"
         "kernel said when it was (sudo dmesg | tail): no line at all is a cable or adapter\n"
         "fault, a line without ttyUSB or ttyACM a missing driver";
}

std::string NoPortNameText(const std::string& port) {
  return "\"" + port + "\" is neither a COM name (" + ComName(1) + " to " +
         ComName(kHighestComNumber) + ") nor a device path that exists";
}

std::string StoreUnwritableHint(const std::string& again) {
  const std::string file = DefaultRegistryFilePath();
  if (file.empty())
    return "the settings file lives in the home folder: set HOME, then run " + again;
  const std::string folder = std::filesystem::path(file).parent_path().string();
  return "the settings are kept in " + file +
         ": its folder must be one you can write, on a disk with room\n(ls -ld " +
         ShellQuoted(folder) + " shows whose it is); then run " + again;
}

std::string StoreUnreadableHint() {
  const std::string file = DefaultRegistryFilePath();
  std::string text =
      "to go on, mend the file in a text editor, or move it away (a new one is started,\n"
      "without the port map and the window's saved places):\n  mv ";
  text += ShellQuoted(file) + " " + ShellQuoted(file + ".broken");
  return text;
}

std::vector<int> InterruptSignals() {
  return {SIGINT, SIGTERM, SIGHUP};
}
