#pragma once
// The command-line tool's port commands: the ports present, the port map, and
// why a port could not be opened.
//
// The ports are read from the system's tree, or from the one under the
// environment variable ORVEX_GSM_SYSFS_ROOT when it is set (tests).

#include <iosfwd>
#include <string>
#include <vector>

#include "serial/open_failure.h"
#include "support/group_membership.h"

// `ports`: one line per port: device, by-id name, vendor:product ids,
// description, the COM names mapped to it (port map), access: "ok" / "no
// permission" / "busy (PROGRAM PID)", and the remedy for a port that cannot be
// opened (the group to join, the program to close); then each mapping whose
// path is absent now, with access "absent". plain: tab-separated fields, no
// header.
int ListPorts(bool plain, std::ostream& out, std::ostream& err);

// `map` alone: one line per mapping: the COM name, the path, whether the
// path is there now ("present" / "absent"), and the port's by-id name when
// the system gives it one (for a path that is the by-id name, the kernel
// device it stands for). plain: tab-separated, no header. storeUnreadable:
// the fault was told already; exit 1 then, as nothing could be listed.
int ListPortMap(bool plain, bool storeUnreadable, std::ostream& out, std::ostream& err);

// `map COMn PATH` / `unmap COMn`: write the port map through the settings
// store, as the window saves. COMn is COM1 to COM256 in any case, stored upper
// case; PATH an absolute path (a warning, no refusal, when it does not exist).
// 0 when done, 2 for bad arguments, 1 when the store could not be written.
int MapPort(const std::string& com, const std::string& path, std::ostream& out, std::ostream& err);
int UnmapPort(const std::string& com, std::ostream& out, std::ostream& err);

// `set-port NAME`: what the window's port box starts with (its saved text),
// written through the settings store as the window saves it. 0 when done, 2
// for an empty name, 1 when the store could not be written.
int SetWindowPort(const std::string& name, std::ostream& out, std::ostream& err);

// The hint for a device of group that this user cannot open: join the group,
// or, for a member whose session began before joining, log in again.
std::string PermissionHint(const std::string& device, const std::string& group,
                           GroupMembership membership);

// Why a port could not be opened, in two parts: "cannot open PORT: reason",
// and a hint where one helps (the device's group and the command that adds
// the user to it, who holds a busy port, the ports that do exist).
struct OpenFailureWords {
  std::string cause;
  std::string hint;  // may be empty; may span lines
};
OpenFailureWords OpenFailureText(const std::string& port, const OpenFailure& failure);
// Both parts, the hint on the lines after the cause.
std::string DescribeOpenFailure(const std::string& port, const OpenFailure& failure);
// Whether waiting cannot cure the failure: a name no port can have, a file
// that is no serial port, a port this user may not open.
bool OpenFailureLasts(const std::string& port, const OpenFailure& failure);

// The kernel paths of the USB and ACM adapters present, for the scan.
std::vector<std::string> AdapterPorts();
