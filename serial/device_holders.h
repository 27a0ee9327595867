#pragma once
// Who else has a device open, for the POSIX backend's exclusive use: TIOCEXCL
// and flock keep out only those who open after us or ask for the same lock,
// not a terminal program that opened the port first.

#include <cstdint>
#include <string>
#include <vector>

#include "serial/open_failure.h"

// The processes other than this one whose open files include the character
// device numbered rdev, as far as the system lets us look (other users'
// processes are hidden from an unprivileged user). A process that also holds
// the master side of the same pseudo-terminal is its far end, not a rival,
// and is left out.
std::vector<PortHolder> FindDeviceHolders(uint64_t rdev);

// The name of the group gid, or its number when it has none.
std::string GroupName(uint32_t gid);

// What the holders make of an open, for the open diagnosis: NoteDeviceHolders
// names those who hold failure.device (after an EBUSY, which a second open
// under TIOCEXCL gets); CheckHolders refuses the open as busy, naming them,
// when others hold the device open as fd, and is true otherwise.
void NoteDeviceHolders(OpenFailure& failure);
bool CheckHolders(int fd, OpenFailure& failure);
