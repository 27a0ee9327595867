#include "tools/cli/cli_ports.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>
#include <system_error>
#include <utility>

#include "panel/stored_port_map.h"
#include "serial/com_name.h"
#include "serial/comm_device.h"
#include "serial/port_choice.h"
#include "serial/port_discovery.h"
#include "support/form_state.h"
#include "support/group_membership.h"
#include "support/port_map_store.h"
#include "support/registry_key.h"
#include "tools/cli/cli_platform.h"
#include "tools/cli/exit_codes.h"

namespace {

std::string SysfsRoot() {
  const char* root = std::getenv("ORVEX_GSM_SYSFS_ROOT");
  return root != nullptr && *root != '\0' ? root : "/";
}

// "COM5" for "com5": the spelling the port map keeps; nothing for a text
// that is no COM name.
std::optional<std::string> PortMapName(const std::string& text) {
  const auto number = ComNumber(text);
  if (!number) return std::nullopt;
  return ComName(*number);
}

std::string Holders(const std::vector<PortHolder>& holders) {
  std::string text;
  for (const PortHolder& holder : holders) {
    if (!text.empty()) text += ", ";
    text += (holder.program.empty() ? "?" : holder.program) + " " + std::to_string(holder.pid);
  }
  return text;
}

std::string Access(const OpenFailure& failure) {
  switch (failure.kind) {
    case OpenFailureKind::kNone:
      return "ok";
    case OpenFailureKind::kPermission:
      return "no permission";
    case OpenFailureKind::kBusy:
      return failure.holders.empty() ? "busy" : "busy (" + Holders(failure.holders) + ")";
    case OpenFailureKind::kNoDevice:
      return "no device";
    case OpenFailureKind::kNotSerialPort:
      return "not a serial port";
    case OpenFailureKind::kOther:
      break;
  }
  return failure.text.empty() ? "cannot open" : failure.text;
}

// What the user can do about a port that cannot be opened, in a few words.
std::string Remedy(const OpenFailure& failure) {
  switch (failure.kind) {
    case OpenFailureKind::kPermission:
      if (failure.group.empty()) return "ask the administrator for access";
      switch (UserGroupMembership(failure.group)) {
        case GroupMembership::kNotListed:
          return "join " + failure.group + ": sudo usermod -aG " + failure.group +
                 " $USER, then log in again";
        case GroupMembership::kNotInSession:
          return "log out and in again, or newgrp " + failure.group;
        case GroupMembership::kInSession:
          break;
      }
      return "ask the administrator for access";
    case OpenFailureKind::kBusy:
      if (failure.holders.empty()) return "close the program that holds it";
      return "close " + Holders(failure.holders);
    default:
      return {};
  }
}

bool SameDevice(const std::string& mapped, const SerialPortInfo& port) {
  if (mapped == port.device || (!port.by_id.empty() && mapped == port.by_id)) return true;
  std::error_code ec;
  return std::filesystem::equivalent(mapped, port.device, ec) && !ec;
}

std::string MappedNames(const std::vector<std::pair<std::string, std::string>>& map,
                        const SerialPortInfo& port) {
  std::string names;
  for (const auto& [name, path] : map) {
    if (!SameDevice(path, port)) continue;
    names += (names.empty() ? "" : ",") + name;
  }
  return names;
}

// A field of a tab-separated line keeps to one field and one line.
std::string OneField(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
  return text;
}

std::string Hint(const OpenFailure& failure) {
  switch (failure.kind) {
    case OpenFailureKind::kPermission:
      if (failure.group.empty())
        return "you need read and write access to " + failure.device +
               ": ask the administrator to give it to a group of yours (on Debian, dialout)\n";
      return PermissionHint(failure.device, failure.group, UserGroupMembership(failure.group));
    case OpenFailureKind::kBusy:
      if (failure.holders.empty()) return "another program holds it: close it first\n";
      return "held by " + Holders(failure.holders) + ": close it first\n";
    case OpenFailureKind::kNoDevice: {
      std::string present;
      for (const SerialPortInfo& port : PortsPresent(SysfsRoot()))
        present += (present.empty() ? "" : ", ") + port.device;
      return present.empty() ? "no serial ports are present\n" : "ports present: " + present + "\n";
    }
    case OpenFailureKind::kNotSerialPort:
      return failure.device + " is not a serial port\n";
    default:
      return {};
  }
}

std::string Reason(const OpenFailure& failure) {
  if (!failure.text.empty()) return failure.text;
  switch (failure.kind) {
    case OpenFailureKind::kNoDevice:
      return "no such device";
    case OpenFailureKind::kPermission:
      return "permission denied";
    case OpenFailureKind::kBusy:
      return "busy";
    case OpenFailureKind::kNotSerialPort:
      return "not a serial port";
    default:
      return "failed";
  }
}

// The store's own message, with what the system said where it said anything,
// then how to mend it; again: the step after that.
int StoreFailed(const ERegistryException& error, const char* what, const std::string& again,
                std::ostream& err) {
  const bool unreadable = dynamic_cast<const ESettingsFileError*>(&error) != nullptr;
  Tell(err, std::string("cannot write the ") + what + ": " + error.what() +
                (error.Detail().empty() ? "" : " (" + error.Detail() + ")") + "\n" +
                (unreadable ? StoreUnreadableHint() : StoreUnwritableHint(again)));
  return kExitCannotWrite;
}

// The absolute path a relative one most likely means: "ttyUSB0" and
// "serial/by-id/..." are under /dev, "dev/ttyUSB0" lacks its first "/".
std::string AbsolutePathMeant(const std::string& path) {
  if (path.empty()) return "/dev/ttyUSB0";
  if (path.starts_with("dev/")) return "/" + path;
  if (path.starts_with("./") || path.starts_with("../"))
    return std::filesystem::absolute(path).lexically_normal().string();
  return "/dev/" + path;
}

// The cells of a row of ports, in the columns this system shows.
std::vector<std::string> InColumns(const std::vector<std::string>& all) {
  static const std::vector<std::string> names = {"DEVICE", "BY-ID",  "IDS",   "DESCRIPTION",
                                                 "MAPPED", "ACCESS", "REMEDY"};
  std::vector<std::string> cells;
  for (const std::string& column : PortColumns()) {
    const auto at = std::find(names.begin(), names.end(), column);
    cells.push_back(all[static_cast<size_t>(at - names.begin())]);
  }
  return cells;
}

// Rows as a table with a header, or tab-separated without it.
void PrintRows(std::vector<std::vector<std::string>> rows, bool plain, std::ostream& out) {
  if (plain) {
    for (size_t r = 1; r < rows.size(); ++r) {
      for (size_t i = 0; i < rows[r].size(); ++i) out << (i ? "\t" : "") << OneField(rows[r][i]);
      out << "\n";
    }
    return;
  }
  std::vector<size_t> widths(rows.front().size(), 1);
  for (auto& row : rows)
    for (size_t i = 0; i < row.size(); ++i) {
      row[i] = OneField(row[i].empty() ? "-" : row[i]);
      widths[i] = std::max(widths[i], row[i].size());
    }
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line += std::string(widths[i] - row[i].size() + 2, ' ');
    }
    out << line << "\n";
  }
}

// The port that path opens, among those present.
const SerialPortInfo* PortOf(const std::string& path, const std::vector<SerialPortInfo>& ports) {
  for (const SerialPortInfo& port : ports)
    if (SameDevice(path, port)) return &port;
  return nullptr;
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

// A file that is there but no device: the serial code would refuse it at
// the next open, so it is refused now.
bool NoDevice(const std::string& path) {
  std::error_code ec;
  return Exists(path) && !std::filesystem::is_character_file(path, ec);
}

std::string DevicesHint() {
  return std::string("\n(") + kProgramName + " ports lists the devices present)";
}

}  // namespace

int ListPorts(bool plain, std::ostream& out, std::ostream& err) {
  const auto ports = PortsPresent(SysfsRoot());
  const auto map = HasPortMap() ? ReadStoredComMap(DefaultRegistryStore())
                                : std::vector<std::pair<std::string, std::string>>();
  std::vector<std::vector<std::string>> rows;
  rows.push_back(PortColumns());
  for (const SerialPortInfo& port : ports) {
    const std::string ids =
        port.vendor_id.empty() ? std::string() : port.vendor_id + ":" + port.product_id;
    const OpenFailure access = CheckDeviceAccess(port.device);
    rows.push_back(InColumns({port.device, port.by_id, ids, port.description,
                              MappedNames(map, port), Access(access), Remedy(access)}));
  }
  // A mapping to an adapter that is not plugged in is what a user looks for
  // when COM5 does not open.
  for (const auto& [name, path] : map) {
    if (PortOf(path, ports) != nullptr || Exists(path)) continue;
    rows.push_back(InColumns({path, "", "", "mapped, not present now", name, "absent",
                              "plug the adapter in, or unmap " + name}));
  }
  if (ports.empty() && !plain) Tell(err, NoPortsHint());
  if (rows.size() > 1) PrintRows(std::move(rows), plain, out);
  return kExitOk;
}

int ListPortMap(bool plain, bool storeUnreadable, std::ostream& out, std::ostream& err) {
  if (storeUnreadable) {
    Tell(err,
         "no port map to list: mend the settings file or move it away as said above, then "
         "list the map again");
    return kExitCannotWrite;
  }
  const auto map = ReadStoredComMap(DefaultRegistryStore());
  if (map.empty()) {
    if (!plain) Tell(err, "no COM name is mapped; map one with: orvex-gsm-cli map COMn PATH");
    return kExitOk;
  }
  const auto ports = PortsPresent(SysfsRoot());
  std::vector<std::vector<std::string>> rows;
  rows.push_back({"COM", "PATH", "NOW", "BY-ID"});
  for (const auto& [name, path] : map) {
    const SerialPortInfo* port = PortOf(path, ports);
    std::string other;
    if (port != nullptr) other = path == port->by_id ? port->device : port->by_id;
    rows.push_back({name, path, port != nullptr || Exists(path) ? "present" : "absent", other});
  }
  PrintRows(std::move(rows), plain, out);
  return kExitOk;
}

int MapPort(const std::string& com, const std::string& path, std::ostream& out, std::ostream& err) {
  const auto name = PortMapName(com);
  if (!name) {
    Tell(err,
         "not a port name: " + com + " (" + ComName(1) + " to " + ComName(kHighestComNumber) + ")");
    return kExitUsage;
  }
  if (ComNumber(path)) {
    Tell(err, path + " is a COM name, not a device: the map takes a device's whole path, such as " +
                  kProgramName + " map " + *name + " /dev/ttyUSB0" + DevicesHint());
    return kExitUsage;
  }
  if (NoDevice(path)) {
    Tell(err, path + " is not a serial device: the map takes a device's whole path, such as " +
                  kProgramName + " map " + *name + " /dev/ttyUSB0" + DevicesHint());
    return kExitUsage;
  }
  // A path is what the serial code takes as one: it begins with "/".
  if (path.empty() || path.front() != '/') {
    Tell(err, "not an absolute path: " + path +
                  "\nthe map needs the device's whole path, such as: " + kProgramName + " map " +
                  *name + " " + AbsolutePathMeant(path) + "\n(" + kProgramName +
                  " ports lists the devices present)");
    return kExitUsage;
  }
  try {
    WriteStoredPort(DefaultRegistryStore(), *name, path);
  } catch (const ERegistryException& error) {
    return StoreFailed(error, "port map", "map " + *name + " again", err);
  }
  out << *name << " -> " << path << "\n";
  if (!Exists(path))
    Tell(err, "warning: " + path + " does not exist now; " + *name +
                  " opens it once the adapter is plugged in");
  return kExitOk;
}

int UnmapPort(const std::string& com, std::ostream& out, std::ostream& err) {
  const auto name = PortMapName(com);
  if (!name) {
    Tell(err,
         "not a port name: " + com + " (" + ComName(1) + " to " + ComName(kHighestComNumber) + ")");
    return kExitUsage;
  }
  // An unreadable map would look like one without this name.
  if (const std::string fault = PortMapFault(DefaultRegistryStore()); !fault.empty()) {
    Tell(err, "cannot change the port map: " + fault + "\n" + StoreUnreadableHint());
    return kExitCannotWrite;
  }
  // Nothing to undo: the name means its own port already.
  if (!LookUpStoredPort(DefaultRegistryStore(), *name)) {
    Tell(err, *name + " is not mapped: nothing to unmap (" + kProgramName +
                  " map lists the mapped names)");
    return kExitOk;
  }
  try {
    WriteStoredPort(DefaultRegistryStore(), *name, std::string());
  } catch (const ERegistryException& error) {
    return StoreFailed(error, "port map", "unmap " + *name + " again", err);
  }
  out << *name << " unmapped\n";
  return kExitOk;
}

namespace {

// A typing slip ("-p foo") is no missing device.
bool NoPortName(const std::string& port, const OpenFailure& failure) {
  return failure.kind == OpenFailureKind::kNoDevice && !ComNumber(port) &&
         (port.empty() || port.front() != '/') && !LookUpStoredPort(DefaultRegistryStore(), port);
}

}  // namespace

bool OpenFailureLasts(const std::string& port, const OpenFailure& failure) {
  return NoPortName(port, failure) || failure.kind == OpenFailureKind::kNotSerialPort ||
         failure.kind == OpenFailureKind::kPermission;
}

OpenFailureWords OpenFailureText(const std::string& port, const OpenFailure& failure) {
  // Say what a name can be.
  if (NoPortName(port, failure))
    return {"cannot open " + port + ": " + NoPortNameText(port), Hint(failure)};
  std::string text = "cannot open " + port;
  if (!failure.device.empty() && failure.device != port) text += " (" + failure.device + ")";
  return {text + ": " + Reason(failure), Hint(failure)};
}

std::string DescribeOpenFailure(const std::string& port, const OpenFailure& failure) {
  const OpenFailureWords words = OpenFailureText(port, failure);
  return words.cause + "\n" + words.hint;
}

std::vector<std::string> AdapterPorts() {
  return AdapterDevices(SysfsRoot());
}

std::string PermissionHint(const std::string& device, const std::string& group,
                           GroupMembership membership) {
  if (membership == GroupMembership::kNotInSession)
    return device + " belongs to the group " + group +
           "; you are a member, but this session began before you joined it:\n"
           "log out and in again, or start a shell in the group with\n  newgrp " +
           group + "\n";
  return device + " belongs to the group " + group +
         "; add yourself to it with\n  sudo usermod -aG " + group +
         " $USER\nthen log out and in again\n";
}

int SetWindowPort(const std::string& name, std::ostream& out, std::ostream& err) {
  if (name.empty() || name.find_first_of("\r\n") != std::string::npos) {
    Tell(err, "not a port name: \"" + name + "\"");
    return kExitUsage;
  }
  // What the window would fail to open at its next start is refused now; a
  // device that is only not there yet is taken with a warning.
  const bool path = !name.empty() && name.front() == '/';
  if (!ComNumber(name) && (!path || NoDevice(name))) {
    Tell(err, "not a port: " + (path ? name + " is not a serial device" : NoPortNameText(name)) +
                  DevicesHint());
    return kExitUsage;
  }
  try {
    // Saved as the window saves its state: the lock taken, the file read
    // again, this one value changed.
    auto key = DefaultRegistryStore().OpenKey(FormStateKeyPath(kMainWindowName), true);
    key->WriteString(kPortBoxTextValue, name);
    key->Commit();
  } catch (const ERegistryException& error) {
    return StoreFailed(error, "window's port", "set-port " + name + " again", err);
  }
  out << "the window's port box starts with " << name << "\n";
  if (path && !Exists(name))
    Tell(err, "warning: " + name +
                  " does not exist now; the window opens it once the adapter is "
                  "plugged in");
  if (!path) {
    // Windows lists a port by its COM name, Linux by the device it opens.
    const auto ports = PortsPresent(SysfsRoot());
    const auto device = ResolveDevicePath(name);
    const bool unix_path = device && device->starts_with('/');
    // A /dev/ttyS node is there whether or not a UART answers behind it.
    const bool absent = unix_path ? !Exists(*device) || (device->starts_with("/dev/ttyS") &&
                                                         PortOf(*device, ports) == nullptr)
                                  : PortOf(name, ports) == nullptr;
    if (absent)
      Tell(err, "warning: " + name + (unix_path ? " (" + *device + ")" : "") +
                    " is not present now; the window finds no panel on it until it is" +
                    DevicesHint());
  }
  return kExitOk;
}
