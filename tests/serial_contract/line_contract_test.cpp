// The serial component on a real line as every backend must run it (far_end.h:
// a pseudo-terminal on POSIX, the echo COM port on Windows): the panel's line
// settings, the NUL bytes it may send, and a port that one program holds.

#include <gtest/gtest.h>

#include <string>

#include "fakes/panel_line.h"
#include "far_end.h"
#include "serial/serial_comm.h"

namespace {

struct SerialLine : ::testing::Test {
  FarEnd line;
  TSerialComm comm;

  void SetUp() override {
    SetPanelLine(comm, line.DeviceName());
    try {
      ASSERT_TRUE(comm.OpenDevice());
    } catch (const EDeviceError& e) {
      FAIL() << e.what() << ": nothing answers on " << line.DeviceName();
    }
    line.Drain(comm);  // what an earlier test sent may still be on its way back
  }

  // Makes bytes arrive at an open component and reads what it lets through.
  std::string Arrive(TCustomComm& at, const std::string& bytes) {
    line.Send(at, bytes);
    char buffer[600];
    return std::string(buffer, at.ReadData(buffer, sizeof buffer, 300));
  }
};

TEST_F(SerialLine, PanelLineSettingsReachTheDevice) {
  Dcb dcb;
  ASSERT_TRUE(comm.Device()->GetState(dcb));
  EXPECT_EQ(dcb.BaudRate, 19200u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, 0);
  EXPECT_EQ(dcb.StopBits, 0);
  EXPECT_EQ(comm.BaudRate(), br19200);
  EXPECT_EQ(comm.BaudValue(), 19200u);
  EXPECT_EQ(comm.DataControl().DataBits(), db8);
  EXPECT_EQ(comm.DataControl().Parity(), paNone);
  EXPECT_EQ(comm.DataControl().StopBits(), sb1);
  EXPECT_EQ(comm.Options().Contains(coDiscardNull), !FarEnd::Differences().keepsNulBytes);
}

TEST_F(SerialLine, NulBytesAreDroppedOnlyWhenAsked) {
  const std::string withNul("O\0K\0\r\n", 6);
  EXPECT_EQ(Arrive(comm, withNul),
            FarEnd::Differences().keepsNulBytes ? withNul : std::string("OK\r\n"));
  comm.SetOptions({coLeaveDTROpen});
  EXPECT_EQ(Arrive(comm, std::string("O\0K", 3)), std::string("O\0K", 3));
}

TEST_F(SerialLine, ASecondOpenIsRefusedAndTheClosedPortOpensAgainAtOnce) {
  TSerialComm second;
  SetPanelLine(second, line.DeviceName());
  try {
    second.OpenDevice();
    EXPECT_TRUE(FarEnd::Differences().opensTwice) << "the port was opened twice";
    second.CloseDevice();
  } catch (const EDeviceError& e) {
    EXPECT_EQ(e.ErrorCode, 65535);
    EXPECT_EQ(std::string(e.what()), "Cannot open device " + line.DeviceName());
    EXPECT_FALSE(second.Opened());
    EXPECT_EQ(second.LastOpenFailure().kind, OpenFailureKind::kBusy);
  }
  EXPECT_EQ(Arrive(comm, "still mine"), "still mine");

  comm.CloseDevice();
  ASSERT_TRUE(second.OpenDevice()) << "a closed port opens again at once";
  EXPECT_EQ(Arrive(second, "now yours"), "now yours");
}

}  // namespace
