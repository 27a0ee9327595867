#include "support/port_map_store.h"

#include <exception>

#include "support/text_codec.h"

std::optional<std::string> LookUpStoredPort(RegistryStore& store, const std::string& portName) {
  try {
    const auto key = store.OpenKey(std::string(PortMapKeyPath), false);
    if (!key->ValueExists(portName)) return std::nullopt;
    // The store speaks code page 1251; a device path is a file name, which
    // the system spells in UTF-8.
    const std::string path = Cp1251ToUtf8(key->ReadString(portName));
    if (path.empty()) return std::nullopt;
    return path;
  } catch (const std::exception&) {
    // An unreadable store maps nothing: the port then opens as if no map
    // were there.
    return std::nullopt;
  }
}
