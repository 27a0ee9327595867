#pragma once
// The tool in the system's own terms: the ports it has and how it names
// them, the port map that only Linux needs, where the settings store is and
// what mends it. One file per platform (cli_platform_posix.cpp,
// cli_platform_win32.cpp), written as mirror images; CMake picks the file.

#include <string>
#include <vector>

#include "serial/port_discovery.h"

// The help's words on ports: the port commands (after read-key), the -p
// option, the commands --plain is for, and where --fast is told in full.
struct PortHelp {
  const char* commands;
  const char* portOption;
  const char* plainCommands;
  const char* fastMore;
};
const PortHelp& HelpOnPorts();

// Whether COM names can be mapped to device paths (map, unmap, the map's
// columns of ports).
bool HasPortMap();

// Why map or unmap does nothing here, and what does instead.
std::string NoPortMapText(const std::string& command);

// The ports present, the system's tree read under sysfsRoot where it has one.
std::vector<SerialPortInfo> PortsPresent(const std::string& sysfsRoot);

// The columns of ports, by name, out of DEVICE, BY-ID, IDS, DESCRIPTION,
// MAPPED, ACCESS and REMEDY.
const std::vector<std::string>& PortColumns();

// What to do when no serial port is found at all.
std::string NoPortsHint();

// "\"foo\" is not a COM name (...)": what a port name can be, for one that
// opens nothing.
std::string NoPortNameText(const std::string& port);

// What to do when the settings store cannot be written: where it is, and
// what to check before again is run.
std::string StoreUnwritableHint(const std::string& again);

// What to do when the settings store cannot be read: the step that mends it.
std::string StoreUnreadableHint();

// The signals that ask the tool to end: Ctrl-C and the system's own.
std::vector<int> InterruptSignals();
