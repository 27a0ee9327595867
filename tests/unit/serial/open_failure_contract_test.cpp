// What both backends promise of a port that cannot be opened, and of the
// list of ports present.

#include <gtest/gtest.h>

#include "fakes/fake_comm_device.h"
#include "serial/port_discovery.h"
#include "serial/serial_comm.h"

namespace {

TEST(OpenFailureContract, AMissingPortFailsAsNoDeviceWithTheSystemsReason) {
  TSerialComm comm;
  comm.SetDeviceName("COM250");
  try {
    comm.OpenDevice();
    FAIL() << "COM250 opened";
  } catch (const EDeviceError& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot open device COM250");
  }
  const OpenFailure& failure = comm.LastOpenFailure();
  EXPECT_EQ(failure.kind, OpenFailureKind::kNoDevice);
  EXPECT_NE(failure.code, 0);
  EXPECT_FALSE(failure.text.empty());
  EXPECT_EQ(failure.device, ResolveDevicePath("COM250").value());
  EXPECT_EQ(CheckDeviceAccess("COM250").kind, OpenFailureKind::kNoDevice);
}

TEST(OpenFailureContract, EachOpenReplacesTheLastFailure) {
  TSerialComm comm;
  comm.SetDeviceFactory([](const std::string& name, OpenFailure& failure) {
    failure.kind = OpenFailureKind::kBusy;
    failure.device = name;
    return std::unique_ptr<CommDevice>();
  });
  EXPECT_THROW(comm.OpenDevice(), EDeviceError);
  EXPECT_EQ(comm.LastOpenFailure().kind, OpenFailureKind::kBusy);
  // A factory that gives no reason still leaves a failure behind.
  comm.SetDeviceFactory([](const std::string&) { return std::unique_ptr<CommDevice>(); });
  EXPECT_THROW(comm.OpenDevice(), EDeviceError);
  EXPECT_EQ(comm.LastOpenFailure().kind, OpenFailureKind::kOther);
  EXPECT_EQ(comm.LastOpenFailure().device, "COM2");
  comm.SetDeviceFactory(FakeFactory(std::make_shared<FakeLine>()));
  EXPECT_TRUE(comm.OpenDevice());
  EXPECT_EQ(comm.LastOpenFailure().kind, OpenFailureKind::kNone);
  EXPECT_TRUE(comm.LastOpenFailure().device.empty());
}

TEST(OpenFailureContract, EveryPortListedHasAName) {
  for (const SerialPortInfo& port : ListSerialPorts()) EXPECT_FALSE(port.device.empty());
}

}  // namespace
