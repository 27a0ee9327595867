// The serial component over the real POSIX device, on a pseudo-terminal.

#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "fakes/panel_line.h"
#include "fakes/pty_pair.h"
#include "fakes/temp_dir.h"
#include "fakes/test_clock.h"
#include "panel/panel_port.h"
#include "serial/serial_comm.h"
#include "support/log.h"
#include "support/text_codec.h"
#include "unit/support/scratch_dir.h"

namespace {

using orvex_test::MsSince;
using orvex_test::TempDir;

// The window's port box holds UTF-8; log.txt holds code page 1251.
TEST(PanelPortLog, TheOpenedDeviceIsNamedInTheLogInCodePage1251) {
  ScratchDir scratch;  // log.txt lands here
  PtyPair pty;
  const std::string link = (scratch.path() / "порт-адаптера").string();
  std::filesystem::create_symlink(pty.SlavePath(), link);
  TSerialComm comm;
  DebugMode = true;
  ReopenForPanel(comm, link);
  DebugMode = false;
  ASSERT_TRUE(comm.Opened());
  EXPECT_NE(ReadFileBytes(scratch.path() / "log.txt")
                .find(Utf8ToCp1251("Открыли устройство " + link + " на скорости 19200")),
            std::string::npos);
}

struct PanelPort : ::testing::Test {
  PtyPair pty;
  TSerialComm comm;
  void SetUp() override {
    SetPanelLine(comm, pty.SlavePath());
    ASSERT_TRUE(comm.OpenDevice());
  }
  uint32_t Read(std::string& out, uint32_t count, uint32_t budget, int* ms = nullptr) {
    std::vector<uint8_t> buffer(count + 1);
    const auto start = std::chrono::steady_clock::now();
    const uint32_t n = comm.ReadData(buffer.data(), count, budget);
    if (ms) *ms = MsSince(start);
    out.assign(reinterpret_cast<const char*>(buffer.data()), n);
    return n;
  }
};

// What termios alone shows; the component's view is the contract's
// (serial_contract/line_contract_test.cpp).
TEST_F(PanelPort, TheTerminalIsRawAtThePanelsRate) {
  termios2 tio{};
  ASSERT_EQ(ioctl(pty.master(), TCGETS2, &tio), 0);
  EXPECT_EQ(tio.c_cflag & CBAUD, static_cast<tcflag_t>(B19200));
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0u);
  EXPECT_EQ(tio.c_lflag & (ECHO | ICANON), 0u);
}

TEST_F(PanelPort, OtherLineSettingsReachTheTerminalOrAreRefused) {
  comm.SetBaudRate(brCustom);
  comm.SetBaudValue(31250);
  comm.DataControl().SetDataBits(db7);
  comm.DataControl().SetParity(paMark);
  comm.DataControl().SetStopBits(sb2);
  termios2 tio{};
  ASSERT_EQ(ioctl(pty.master(), TCGETS2, &tio), 0);
  EXPECT_EQ(tio.c_ospeed, 31250u);
  EXPECT_EQ(tio.c_cflag & (PARODD | CMSPAR | CSTOPB),
            static_cast<tcflag_t>(PARODD | CMSPAR | CSTOPB));
  EXPECT_EQ(comm.BaudValue(), 31250u);
  EXPECT_EQ(comm.BaudRate(), brCustom);
  EXPECT_EQ(comm.DataControl().StopBits(), sb2);
  // A pseudo-terminal always carries 8 data bits without a parity bit: the
  // readings show what the device really does, not what was asked.
  EXPECT_EQ(comm.DataControl().DataBits(), db8);
  EXPECT_EQ(comm.DataControl().Parity(), paNone);

  try {
    comm.DataControl().SetDataBits(db4);
    FAIL() << "4 data bits cannot be set on this system";
  } catch (const EDeviceError& e) {
    EXPECT_EQ(e.ErrorCode, 3);
  }
  EXPECT_TRUE(comm.Opened());
}

TEST_F(PanelPort, CommandGoesOutWithItsCarriageReturn) {
  EXPECT_TRUE(comm.SendString("+T01\r"));
  EXPECT_EQ(pty.Receive(5, 1000), "+T01\r");
}

TEST_F(PanelPort, ReadWaitsOutItsBudgetUnlessTheCountIsThere) {
  std::string got;
  int ms = 0;
  pty.Send(std::string(20, 'a'));
  EXPECT_EQ(Read(got, 600, 100, &ms), 20u);
  EXPECT_GE(ms, 99);
  EXPECT_LT(ms, 600);

  pty.Send(std::string(600, 'b'));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(Read(got, 600, 100, &ms), 600u);
  EXPECT_LT(ms, 90);

  EXPECT_EQ(Read(got, 600, 100, &ms), 0u);
  EXPECT_GE(ms, 100);
  EXPECT_LT(ms, 600);
}

TEST_F(PanelPort, ByteArrivingDuringAWaitIsSeenPromptly) {
  std::thread far([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    pty.Send(std::string(10, 'z'));
  });
  std::string got;
  int ms = 0;
  EXPECT_EQ(Read(got, 10, 1000, &ms), 10u);
  far.join();
  EXPECT_GE(ms, 25);
  EXPECT_LT(ms, 500);
}

TEST_F(PanelPort, BudgetZeroReadsWhatIsQueued) {
  pty.Send("OK");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::string got;
  EXPECT_EQ(Read(got, 600, 0), 2u);
  EXPECT_EQ(got, "OK");
}

TEST_F(PanelPort, FarEndHangingUpFailsTheNextReadWithTheSystemText) {
  pty.HangUp();
  std::string got;
  try {
    Read(got, 600, 1000);
    FAIL();
  } catch (const EDeviceError& e) {
    EXPECT_EQ(e.ErrorCode, 10);
    const std::string message = e.what();
    EXPECT_EQ(message.rfind("Unable to read from port. (Win32 error ", 0), 0u) << message;
    EXPECT_NE(message.find(": "), std::string::npos);
    EXPECT_EQ(message.back(), ')');
  }
  comm.CloseDevice();
}

TEST_F(PanelPort, FarEndHangingUpRightAfterAnAnswerLeavesTheAnswer) {
  std::thread farEnd([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pty.Send("OK\r\n");
    // Bytes the slave has not taken yet are lost with the master: give the
    // port time to take them, well inside the read's budget.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    pty.HangUp();
  });
  std::string got;
  int ms = 0;
  EXPECT_NO_THROW(Read(got, 600, 1000, &ms));
  farEnd.join();
  EXPECT_EQ(got, "OK\r\n");
  EXPECT_LT(ms, 900) << "a read on a line gone ends without waiting out its budget";
  EXPECT_THROW(Read(got, 600, 1000), EDeviceError);
  comm.CloseDevice();
}

TEST(SerialDeviceNames, NamesThatAreNoSerialDeviceFailCleanly) {
  const TempDir temp;
  const std::filesystem::path dir = temp.path();
  const std::string file = (dir / "plain.txt").string();
  std::FILE* f = std::fopen(file.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs("not a tty", f);
  std::fclose(f);

  const int before = OpenDescriptorCount();
  for (const std::string& name :
       {std::string(), file, dir.string(), std::string("/no/such/device"), std::string("COM0"),
        std::string("COMX"), std::string("LPT1"), std::string("COM99999999999")}) {
    SCOPED_TRACE(name);
    TSerialComm comm;
    comm.SetDeviceName(name);
    try {
      comm.OpenDevice();
      FAIL();
    } catch (const EDeviceError& e) {
      EXPECT_EQ(e.ErrorCode, 65535);
      EXPECT_EQ(std::string(e.what()), "Cannot open device " + name);
    }
    EXPECT_FALSE(comm.Opened());
  }
  EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST(SerialDeviceNames, PortNamesMapToDevicePaths) {
  EXPECT_EQ(ResolveDevicePath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(ResolveDevicePath("com8"), "/dev/ttyS7");
  EXPECT_EQ(ResolveDevicePath("Com12"), "/dev/ttyS11");
  EXPECT_EQ(ResolveDevicePath("/dev/pts/3"), "/dev/pts/3");
  EXPECT_EQ(ResolveDevicePath("COM0"), std::nullopt);
  EXPECT_EQ(ResolveDevicePath("COM"), std::nullopt);
  EXPECT_EQ(ResolveDevicePath("COM1 "), std::nullopt);
  EXPECT_EQ(ResolveDevicePath(""), std::nullopt);

  SetPortMapLookup([](const std::string& name) -> std::optional<std::string> {
    if (name == "COM5") return std::string("/dev/ttyUSB0");
    return std::nullopt;
  });
  EXPECT_EQ(ResolveDevicePath("COM5"), "/dev/ttyUSB0");
  EXPECT_EQ(ResolveDevicePath("COM6"), "/dev/ttyS5");
  SetPortMapLookup(nullptr);
  EXPECT_EQ(ResolveDevicePath("COM5"), "/dev/ttyS4");
}

}  // namespace
