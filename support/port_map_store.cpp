#include "support/port_map_store.h"

#include <exception>

namespace {

// The store speaks UTF-8, as the system spells file names: a path goes in and
// comes out as it is.
std::optional<std::string> MappedPath(RegistryKey& key, const std::string& portName) {
  if (!key.ValueExists(portName)) return std::nullopt;
  std::string path = key.ReadString(portName);
  if (path.empty()) return std::nullopt;
  return path;
}

}  // namespace

std::optional<std::string> LookUpStoredPort(RegistryStore& store, const std::string& portName) {
  try {
    const auto key = store.OpenKey(std::string(PortMapKeyPath), false);
    return MappedPath(*key, portName);
  } catch (const std::exception&) {
    // An unreadable store maps nothing: the port then opens as if no map
    // were there.
    return std::nullopt;
  }
}

std::vector<std::pair<std::string, std::string>> ReadStoredPortMap(
    RegistryStore& store, const std::vector<std::string>& names) {
  std::vector<std::pair<std::string, std::string>> map;
  try {
    const auto key = store.OpenKey(std::string(PortMapKeyPath), false);
    // The store lists no value names: the names are asked for one by one.
    for (const std::string& name : names) {
      try {
        if (auto path = MappedPath(*key, name)) map.emplace_back(name, std::move(*path));
      } catch (const std::exception&) {
        // A value of another type maps nothing, as in a look-up.
      }
    }
  } catch (const std::exception&) {
  }
  return map;
}

std::string PortMapFault(RegistryStore& store) {
  try {
    return store.OpenKey(std::string(PortMapKeyPath), false)->OpenFault();
  } catch (const std::exception& e) {
    return e.what();
  }
}

void WriteStoredPort(RegistryStore& store, const std::string& portName, const std::string& path) {
  const auto key = store.OpenKey(std::string(PortMapKeyPath), true);
  // An emptied value would still be listed by anything that reads the file.
  if (path.empty())
    key->DeleteValue(portName);
  else
    key->WriteString(portName, path);
  key->Commit();
}
