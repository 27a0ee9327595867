#include "support/port_map_store.h"

#include <exception>

std::optional<std::string> LookUpStoredPort(RegistryStore& store, const std::string& portName) {
  try {
    const auto key = store.OpenKey(std::string(PortMapKeyPath), false);
    if (!key->ValueExists(portName)) return std::nullopt;
    // The store speaks UTF-8, as the system spells file names.
    std::string path = key->ReadString(portName);
    if (path.empty()) return std::nullopt;
    return path;
  } catch (const std::exception&) {
    // An unreadable store maps nothing: the port then opens as if no map
    // were there.
    return std::nullopt;
  }
}
