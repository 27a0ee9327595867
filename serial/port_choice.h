#pragma once
// What the window's port box and the tool's scan both need of the ports
// present: the adapters to offer, and which failed opens the user can remedy.

#include <string>
#include <vector>

#include "serial/open_failure.h"

// How many ports the window's port list and the scan offer: COM1 to COM8.
inline constexpr unsigned kStandardPortCount = 8;

// The port list of the window and of the scan: "COM1" to "COM8".
std::vector<std::string> StandardPortList();
// "COM1 to COM8", for messages about that list.
std::string StandardPortRange();

// The kernel paths of the USB and ACM adapters found under root ("/" for the
// system's own tree), in the order listed.
std::vector<std::string> AdapterDevices(const std::string& root);

// Adds failure to refusals when the user can remedy it (no permission, or
// held by another program) and its device is not listed yet; true when added.
bool NoteRemediableRefusal(std::vector<OpenFailure>& refusals, const OpenFailure& failure);
