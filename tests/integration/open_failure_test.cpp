// Why a port did not open, on real devices: a missing path, a terminal that
// another program holds without a lock, a terminal this user may not open.

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "fakes/holder_process.h"
#include "fakes/pty_pair.h"
#include "fakes/unprivileged.h"
#include "serial/serial_comm.h"

namespace {

TEST(OpenFailure, AMissingPathIsNoDevice) {
  TSerialComm comm;
  comm.SetDeviceName("/dev/orvex-no-such-port");
  EXPECT_THROW(comm.OpenDevice(), EDeviceError);
  const OpenFailure& failure = comm.LastOpenFailure();
  EXPECT_EQ(failure.kind, OpenFailureKind::kNoDevice);
  EXPECT_EQ(failure.code, ENOENT);
  EXPECT_EQ(failure.text, std::strerror(ENOENT));
  EXPECT_EQ(failure.device, "/dev/orvex-no-such-port");
}

TEST(OpenFailure, ATerminalHeldByAnotherProgramIsBusyAndNamesIt) {
  PtyPair pty;
  TSerialComm comm;
  comm.SetDeviceName(pty.SlavePath());
  {
    HolderProcess holder(pty.SlavePath());
    try {
      comm.OpenDevice();
      FAIL() << "opened a port that another program holds";
    } catch (const EDeviceError& error) {
      // The component's own message stays as it always was.
      EXPECT_EQ(std::string(error.what()), "Cannot open device " + pty.SlavePath());
      EXPECT_EQ(error.ErrorCode, kErrCannotOpen);
    }
    const OpenFailure& failure = comm.LastOpenFailure();
    EXPECT_EQ(failure.kind, OpenFailureKind::kBusy);
    EXPECT_EQ(failure.code, EBUSY);
    ASSERT_EQ(failure.holders.size(), 1u);
    EXPECT_EQ(failure.holders[0].pid, holder.pid());
    EXPECT_EQ(failure.holders[0].program, HolderProcess::kProgram);
    EXPECT_EQ(CheckDeviceAccess(pty.SlavePath()).kind, OpenFailureKind::kBusy);
  }
  // Once it lets go, the port is ours; our own far end (the master) and the
  // open itself are no holders.
  EXPECT_TRUE(comm.OpenDevice());
  EXPECT_EQ(comm.LastOpenFailure().kind, OpenFailureKind::kNone);
  EXPECT_TRUE(comm.LastOpenFailure().holders.empty());
}

// Run in a child as an unprivileged user: root may open anything. The child
// reports through its exit status.
TEST(OpenFailure, ATerminalThisUserMayNotOpenIsNoPermissionWithItsGroup) {
  PtyPair pty;
  std::string groupName;  // the group the failure names, if any
  if (geteuid() == 0) {
    // Open to its group, as a serial port is to dialout: joining it helps.
    const group* dialout = getgrnam("dialout");
    ASSERT_NE(dialout, nullptr);
    ASSERT_EQ(chown(pty.SlavePath().c_str(), static_cast<uid_t>(-1), dialout->gr_gid), 0);
    ASSERT_EQ(chmod(pty.SlavePath().c_str(), 0660), 0);
    groupName = "dialout";
  } else {
    // Our own terminal, with no rights left for anyone: no group to join.
    ASSERT_EQ(chmod(pty.SlavePath().c_str(), 0), 0);
  }
  const int status = orvex_test::RunUnprivileged([&] {
    OpenFailure failure;
    const bool opened = OpenCommDevice(pty.SlavePath(), failure) != nullptr;
    if (opened) return 11;
    if (failure.kind != OpenFailureKind::kPermission) return 12;
    if (failure.code != EACCES || failure.text != std::strerror(EACCES)) return 13;
    if (failure.group != groupName) return 14;
    if (CheckDeviceAccess(pty.SlavePath()).kind != OpenFailureKind::kPermission) return 15;
    return 0;
  });
  EXPECT_EQ(status, 0) << "-1: cannot drop privileges, 11: opened, 12: kind, "
                          "13: code or text, 14: group, 15: access check";
}

}  // namespace
