#pragma once
// The port map kept in the settings store: the key "\SOFTWARE\NolvarGSM\Ports"
// maps a port name to a device path (value "COM5" = "/dev/ttyUSB0"), as a user
// sets it up once for a USB adapter. It is read anew on each look-up, so an
// edit made while the program runs counts at the next opening of a port.
//
// The settings code does not depend on the serial code: the serial code is
// handed this look-up by panel/stored_port_map.h.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/registry_key.h"

inline constexpr std::string_view PortMapKeyPath = "\\SOFTWARE\\NolvarGSM\\Ports";

// The device path that the store maps the port name to (the value name is
// matched without regard to letter case), or nothing when the store maps
// none: no such value, a value that is not a text or is empty, a settings
// file that cannot be read. Never raises.
std::optional<std::string> LookUpStoredPort(RegistryStore& store, const std::string& portName);

// Those of names that the store maps, with their device paths, in the order
// of names; nothing when the store cannot be read. Never raises. What a COM
// name is belongs to the serial code: ReadStoredComMap in
// panel/stored_port_map.h asks for every one.
std::vector<std::pair<std::string, std::string>> ReadStoredPortMap(
    RegistryStore& store, const std::vector<std::string>& names);

// Why the store's port map cannot be read (the store's message, naming the
// settings file and, for a file that cannot be understood, its line); empty
// when it can, or when there is no map at all. Never raises.
std::string PortMapFault(RegistryStore& store);

// Maps portName to the device path (UTF-8) in the store, or, with an empty
// path, removes portName's value. Saved as the window saves: the lock taken, the
// file read again, this one value changed, the file replaced whole. Raises
// ERegistryException when the store cannot be written, or cannot hold the
// path's characters.
void WriteStoredPort(RegistryStore& store, const std::string& portName, const std::string& path);
