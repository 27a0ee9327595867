#pragma once
// Where the serial code meets the settings store: port names resolve through
// the port map that the user keeps in the store (support/port_map_store.h).
// Every program that opens ports by name installs it at start.

#include "serial/com_name.h"
#include "serial/comm_device.h"
#include "support/port_map_store.h"

// Makes the serial code resolve port names through the port map of the
// platform's store.
inline void InstallStoredPortMap() {
  SetPortMapLookup(
      [](const std::string& name) { return LookUpStoredPort(DefaultRegistryStore(), name); });
}

// The COM names that the store maps, with their device paths, in number
// order; nothing when the store cannot be read. Never raises.
inline std::vector<std::pair<std::string, std::string>> ReadStoredComMap(RegistryStore& store) {
  return ReadStoredPortMap(store, AllComNames());
}
