// The serial component over the Win32 backend, on a real COM port whose far
// end sends back every byte (EchoPort()).

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fakes/panel_line.h"
#include "fakes/test_clock.h"
#include "serial/port_discovery.h"
#include "serial/serial_comm.h"
#include "win_test_support.h"

namespace {

using orvex_test::Clock;
using orvex_test::MsSince;

struct EchoLine : ::testing::Test {
  TSerialComm comm;

  void SetUp() override {
    SetPanelLine(comm, EchoPort());
    try {
      ASSERT_TRUE(comm.OpenDevice());
    } catch (const EDeviceError& e) {
      FAIL() << e.what() << ": nothing answers on " << EchoPort()
             << " (scripts/test-windows.sh sets up its far end)";
    }
    // What an earlier test sent may still be on its way back.
    std::string late;
    while (Read(late, 4096, 50) > 0) {
    }
  }

  uint32_t Read(std::string& out, uint32_t count, uint32_t budget, uint32_t* ms = nullptr) {
    std::vector<uint8_t> buffer(count + 1);
    const auto start = Clock::now();
    const uint32_t n = comm.ReadData(buffer.data(), count, budget);
    if (ms) *ms = static_cast<uint32_t>(MsSince(start));
    out.assign(reinterpret_cast<const char*>(buffer.data()), n);
    return n;
  }

  // Sends text and reads back as many bytes.
  std::string RoundTrip(const std::string& text, uint32_t budget = 3000) {
    EXPECT_EQ(comm.SendData(text.data(), static_cast<uint32_t>(text.size()), budget), text.size());
    std::string back;
    Read(back, static_cast<uint32_t>(text.size()), budget);
    return back;
  }

  // Waits until the receive queue holds count bytes.
  bool WaitQueued(uint32_t count) {
    const auto start = Clock::now();
    while (comm.QueuedBytes(0) < count) {
      if (MsSince(start) > 3000) return false;
      Sleep(5);
    }
    return true;
  }
};

TEST_F(EchoLine, ARateOutsideTheTableIsSetAndReadsAsCustom) {
  comm.SetBaudRate(brCustom);
  comm.SetBaudValue(230400);
  comm.DataControl().SetStopBits(sb2);
  EXPECT_EQ(comm.BaudValue(), 230400u);
  EXPECT_EQ(comm.BaudRate(), brCustom);
  EXPECT_EQ(comm.DataControl().StopBits(), sb2);
  EXPECT_EQ(RoundTrip("+T01\r"), "+T01\r") << "the line still works at that rate";
}

TEST_F(EchoLine, FourDataBitsAreRefusedWithTheSystemsReason) {
  try {
    comm.DataControl().SetDataBits(db4);
    FAIL() << "4 data bits were accepted";
  } catch (const EDeviceError& e) {
    EXPECT_EQ(e.ErrorCode, 3);
    EXPECT_STREQ(e.what(), "Unable to update device control block.");
  }
  const SystemError error = comm.Device()->LastError();
  EXPECT_NE(error.number, 0);
  EXPECT_FALSE(TrimSystemText(error.text).empty()) << "the system's text for " << error.number;
  EXPECT_TRUE(comm.Opened());
  comm.DataControl().SetDataBits(db8);
  EXPECT_EQ(RoundTrip("OK\r\n"), "OK\r\n");
}

TEST_F(EchoLine, EveryByteValueButZeroGoesOutAndComesBackUnchanged) {
  // Four times the queue sizes, so that writes wait for room and reads find
  // more than a queue's worth.
  std::string all;
  for (int round = 0; round < 4; ++round) {
    for (int byte = 1; byte < 256; ++byte) all += static_cast<char>(byte);
  }
  EXPECT_EQ(RoundTrip(all), all);
}

TEST_F(EchoLine, ASilentLineReadsNothingOnceItsBudgetIsSpent) {
  std::string got;
  uint32_t ms = 0;
  EXPECT_EQ(Read(got, 600, 100, &ms), 0u);
  EXPECT_GE(ms, 99u);
  EXPECT_LT(ms, 2000u);
}

TEST_F(EchoLine, AReadEndsAtOnceWhenItsCountHasArrived) {
  const std::string reply = "\r\n>0123456789ABCDEF\r\nOK\r\n";
  ASSERT_EQ(comm.SendData(reply.data(), static_cast<uint32_t>(reply.size()), 1000), reply.size());
  std::string got;
  uint32_t ms = 0;
  EXPECT_EQ(Read(got, static_cast<uint32_t>(reply.size()), 5000, &ms), reply.size());
  EXPECT_EQ(got, reply);
  EXPECT_LT(ms, 4000u) << "the read waited for its budget instead of the bytes";
}

TEST_F(EchoLine, AShortReplyIsReturnedWhenTheBudgetIsSpent) {
  ASSERT_TRUE(comm.SendString("OK\r\n"));
  std::string got;
  uint32_t ms = 0;
  EXPECT_EQ(Read(got, 600, 300, &ms), 4u);
  EXPECT_EQ(got, "OK\r\n");
  EXPECT_GE(ms, 299u);
  EXPECT_LT(ms, 3000u);
}

TEST_F(EchoLine, ADeviceReadTakesOnlyWhatIsQueuedAndNothingIsNoError) {
  CommDevice& device = *comm.Device();
  uint8_t buffer[16];
  uint32_t n = 99;
  // Wine may end such a read with ERROR_TIMEOUT: the device counts it as
  // a read of nothing.
  EXPECT_TRUE(device.Read(buffer, sizeof buffer, n)) << device.LastError().text;
  EXPECT_EQ(n, 0u);

  ASSERT_TRUE(comm.SendString("abc"));
  ASSERT_TRUE(WaitQueued(3));
  EXPECT_TRUE(device.Read(buffer, sizeof buffer, n)) << device.LastError().text;
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), n), "abc");
}

TEST_F(EchoLine, QueueCountsShowWhatWaits) {
  EXPECT_EQ(comm.QueuedBytes(0), 0u);
  ASSERT_TRUE(comm.SendString("12345"));
  ASSERT_TRUE(WaitQueued(5));
  EXPECT_EQ(comm.QueuedBytes(0), 5u);
  EXPECT_EQ(comm.QueuedBytes(7), 0u) << "any other kind";
}

TEST_F(EchoLine, ChangingABufferSizeWhileOpenEmptiesTheQueues) {
  ASSERT_TRUE(comm.SendString("stale"));
  ASSERT_TRUE(WaitQueued(5));
  comm.Buffers().SetInputSize(1024);
  EXPECT_EQ(comm.QueuedBytes(0), 0u);
  EXPECT_EQ(RoundTrip("fresh"), "fresh");
}

TEST_F(EchoLine, TimeoutsReachTheDriverFieldForField) {
  TCommTimeoutsEx& t = comm.Timeouts();
  t.SetReadInterval(5);
  t.SetReadMultiplier(2);
  t.SetReadConstant(7);
  t.SetWriteMultiplier(3);
  t.SetWriteConstant(11);
  CommTimeouts system;
  ASSERT_TRUE(comm.Device()->GetTimeouts(system));
  EXPECT_EQ(system, (CommTimeouts{5, 2, 7, 3, 11}));
  EXPECT_EQ(t.ReadInterval(), 5u);
  EXPECT_EQ(t.WriteConstant(), 11u);
}

TEST_F(EchoLine, AClosedPortOpensAgainAtOnce) {
  for (int round = 0; round < 3; ++round) {
    comm.CloseDevice();
    EXPECT_FALSE(comm.Opened());
    ASSERT_TRUE(comm.OpenDevice());
    const std::string text = "round " + std::to_string(round);
    EXPECT_EQ(RoundTrip(text), text);
  }
}

TEST(WinSerialNames, NamesThatAreNoPortCannotBeOpened) {
  struct Case {
    const char* name;
    std::optional<OpenFailureKind> kind;  // none: whatever the system says
  };
  const Case cases[] = {{"COM99", OpenFailureKind::kNoDevice},
                        {"NUL", OpenFailureKind::kNotSerialPort},
                        {"C:\\", std::nullopt},
                        {"no such port", OpenFailureKind::kNoDevice}};
  for (const Case& c : cases) {
    TSerialComm comm;
    comm.SetDeviceName(c.name);
    try {
      comm.OpenDevice();
      ADD_FAILURE() << c.name << " was opened";
      comm.CloseDevice();
    } catch (const EDeviceError& e) {
      EXPECT_EQ(e.ErrorCode, 65535) << c.name;
      EXPECT_EQ(std::string(e.what()), std::string("Cannot open device ") + c.name);
      EXPECT_FALSE(comm.Opened());
      // The cause, with the system's number and text, for whoever shows it.
      const OpenFailure& failure = comm.LastOpenFailure();
      EXPECT_EQ(failure.kind, c.kind.value_or(failure.kind)) << c.name;
      EXPECT_NE(failure.code, 0) << c.name;
      EXPECT_FALSE(failure.text.empty()) << c.name;
      EXPECT_EQ(failure.device, std::string("\\\\.\\") + c.name);
    }
  }
  EXPECT_EQ(OpenCommDevice(EchoPort() + std::string(1, '\0') + "x"), nullptr)
      << "a name cut short by a zero byte opens nothing";
}

TEST(WinSerialNames, APortNameOpensTheDeviceNamespacePath) {
  EXPECT_EQ(ResolveDevicePath("COM2"), "\\\\.\\COM2");
  EXPECT_EQ(ResolveDevicePath("COM12"), "\\\\.\\COM12");
  EXPECT_EQ(ResolveDevicePath(""), std::nullopt);
}

// The system's list of ports is HKLM\HARDWARE\DEVICEMAP\SERIALCOMM. Wine
// fills it only for the host's own /dev/ttyS ports, so the test adds two
// ports of its own (which needs an administrator, as Wine's user is).
TEST(WinSerialPorts, ThePortsTheSystemListsAreFoundInNumberOrder) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                      REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    GTEST_SKIP() << "cannot add to the system's list of ports";
  }
  const wchar_t* names[] = {L"\\Device\\OrvexTest10", L"\\Device\\OrvexTest9"};
  const wchar_t* ports[] = {L"COM210", L"COM29"};
  for (int i = 0; i < 2; ++i) {
    RegSetValueExW(key, names[i], 0, REG_SZ, reinterpret_cast<const BYTE*>(ports[i]),
                   static_cast<DWORD>((wcslen(ports[i]) + 1) * sizeof(wchar_t)));
  }
  const std::vector<SerialPortInfo> listed = ListSerialPorts();
  for (const wchar_t* name : names) RegDeleteValueW(key, name);
  RegCloseKey(key);

  std::vector<SerialPortInfo> ours;
  for (const SerialPortInfo& port : listed)
    if (port.driver == "OrvexTest") ours.push_back(port);
  ASSERT_EQ(ours.size(), 2u);
  EXPECT_EQ(ours[0].device, "COM29");
  EXPECT_EQ(ours[0].description, "\\Device\\OrvexTest9");
  EXPECT_TRUE(ours[0].adapter);
  EXPECT_EQ(ours[1].device, "COM210");
}

TEST(WinSerialSystem, QueueSizesAreLimitedAsTheSystemVersionSays) {
  TSerialComm comm;
  comm.Buffers().SetInputSize(65000);
  comm.Buffers().SetOutputSize(50);
  // Every Windows that runs this program is NT 4.0 or later.
  EXPECT_EQ(MaxQueueSize(), 4096u);
  EXPECT_EQ(comm.Buffers().InputSize(), 4096);
  EXPECT_EQ(comm.Buffers().OutputSize(), 128);
}

TEST(WinSerialSystem, TheClockCountsMilliseconds) {
  const uint32_t tickStart = TickMs();
  const uint64_t systemStart = GetTickCount64();
  Sleep(300);
  const uint32_t ticks = TickMs() - tickStart;
  const uint64_t system = GetTickCount64() - systemStart;
  EXPECT_GE(ticks, 290u);
  EXPECT_LT(ticks, 5000u);
  // The system's tick count moves in steps of up to about 16 ms.
  EXPECT_NEAR(static_cast<double>(ticks), static_cast<double>(system), 40.0);
}

}  // namespace
