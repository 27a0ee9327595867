#include "tools/cli/cli_ports.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>
#include <system_error>
#include <utility>

#include "serial/comm_device.h"
#include "serial/port_discovery.h"
#include "support/port_map_store.h"
#include "support/registry_key.h"

namespace {

constexpr int kDone = 0;
constexpr int kStoreFailed = 1;
constexpr int kBadArguments = 2;
constexpr unsigned kHighestComPort = 256;

std::vector<SerialPortInfo> PortsPresent() {
  const char* root = std::getenv("ORVEX_GSM_SYSFS_ROOT");
  return ListSerialPorts(root != nullptr && *root != '\0' ? root : "/");
}

// "COM5" for "com5"; nothing for anything but COM1 to COM256 (no leading
// zeros: "COM05" would be a second name for the same port).
std::optional<std::string> ComName(const std::string& text) {
  if (text.size() < 4 || text.size() > 6) return std::nullopt;
  std::string upper = text;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (upper.compare(0, 3, "COM") != 0 || upper[3] == '0') return std::nullopt;
  unsigned number = 0;
  for (size_t i = 3; i < upper.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(upper[i]))) return std::nullopt;
    number = number * 10 + static_cast<unsigned>(upper[i] - '0');
  }
  if (number < 1 || number > kHighestComPort) return std::nullopt;
  return upper;
}

std::string Holders(const std::vector<PortHolder>& holders) {
  std::string text;
  for (const PortHolder& holder : holders) {
    if (!text.empty()) text += ", ";
    text += (holder.program.empty() ? "?" : holder.program) + " " + std::to_string(holder.pid);
  }
  return text;
}

std::string Access(const std::string& device) {
  const OpenFailure failure = CheckDeviceAccess(device);
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
      return failure.device + " belongs to the group " + failure.group +
             "; add yourself to it with\n  sudo usermod -aG " + failure.group +
             " $USER\nthen log out and in again\n";
    case OpenFailureKind::kBusy:
      if (failure.holders.empty()) return "another program holds it\n";
      return "held by " + Holders(failure.holders) + "\n";
    case OpenFailureKind::kNoDevice: {
      std::string present;
      for (const SerialPortInfo& port : PortsPresent())
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

// The store's own message, with what the system said where it said anything.
int StoreFailed(const ERegistryException& error, std::ostream& err) {
  err << "cannot write the port map: " << error.what();
  if (!error.Detail().empty()) err << " (" << error.Detail() << ")";
  err << "\n";
  return kStoreFailed;
}

}  // namespace

int ListPorts(bool plain, std::ostream& out, std::ostream& err) {
  const auto ports = PortsPresent();
  if (ports.empty()) {
    if (!plain) err << "no serial ports found\n";
    return kDone;
  }
  const auto map = ReadStoredComMap(DefaultRegistryStore());
  std::vector<std::vector<std::string>> rows;
  if (!plain) rows.push_back({"DEVICE", "BY-ID", "IDS", "DESCRIPTION", "MAPPED", "ACCESS"});
  for (const SerialPortInfo& port : ports) {
    const std::string ids =
        port.vendor_id.empty() ? std::string() : port.vendor_id + ":" + port.product_id;
    rows.push_back({port.device, port.by_id, ids, port.description, MappedNames(map, port),
                    Access(port.device)});
  }
  if (plain) {
    for (const auto& row : rows) {
      for (size_t i = 0; i < row.size(); ++i) out << (i ? "\t" : "") << OneField(row[i]);
      out << "\n";
    }
    return kDone;
  }
  std::vector<size_t> widths(rows.front().size(), 1);
  for (const auto& row : rows)
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      const std::string field = OneField(row[i].empty() ? "-" : row[i]);
      line += field;
      if (i + 1 < row.size()) line += std::string(widths[i] - field.size() + 2, ' ');
    }
    out << line << "\n";
  }
  return kDone;
}

int MapPort(const std::string& com, const std::string& path, std::ostream& out, std::ostream& err) {
  const auto name = ComName(com);
  if (!name) {
    err << "not a port name: " << com << " (COM1 to COM256)\n";
    return kBadArguments;
  }
  // A path is what the serial code takes as one: it begins with "/".
  if (path.empty() || path.front() != '/') {
    err << "not an absolute path: " << path << "\n";
    return kBadArguments;
  }
  std::error_code ec;
  if (!std::filesystem::exists(path, ec))
    err << "warning: " << path << " does not exist now; mapped all the same\n";
  try {
    WriteStoredPort(DefaultRegistryStore(), *name, path);
  } catch (const ERegistryException& error) {
    return StoreFailed(error, err);
  }
  out << *name << " -> " << path << "\n";
  return kDone;
}

int UnmapPort(const std::string& com, std::ostream& out, std::ostream& err) {
  const auto name = ComName(com);
  if (!name) {
    err << "not a port name: " << com << " (COM1 to COM256)\n";
    return kBadArguments;
  }
  if (!LookUpStoredPort(DefaultRegistryStore(), *name)) {
    out << *name << " is not mapped\n";
    return kDone;
  }
  try {
    // An empty value maps nothing; the store has no removal of one value.
    WriteStoredPort(DefaultRegistryStore(), *name, std::string());
  } catch (const ERegistryException& error) {
    return StoreFailed(error, err);
  }
  out << *name << " unmapped\n";
  return kDone;
}

std::string DescribeOpenFailure(const std::string& port, const OpenFailure& failure) {
  std::string text = "cannot open " + port;
  if (!failure.device.empty() && failure.device != port) text += " (" + failure.device + ")";
  return text + ": " + Reason(failure) + "\n" + Hint(failure);
}

std::vector<std::string> AdapterPorts() {
  std::vector<std::string> adapters;
  for (const SerialPortInfo& port : PortsPresent())
    if (port.adapter) adapters.push_back(port.device);
  return adapters;
}
