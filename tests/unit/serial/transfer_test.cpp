// Timed writes and reads of the serial component on a scripted line.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "fakes/fake_comm_device.h"
#include "fakes/test_clock.h"
#include "serial/serial_comm.h"

namespace {

struct OpenLine {
  std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
  TSerialComm comm;
  OpenLine() {
    comm.SetDeviceFactory(FakeFactory(line));
    comm.Buffers().SetOutputSize(250);
    comm.OpenDevice();
  }
};

using orvex_test::ElapsedMs;

int ErrorCodeOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EDeviceError& e) {
    return e.ErrorCode;
  }
  return 0;
}

TEST(SerialTransfer, ClosedPortRefusesEveryTransfer) {
  TSerialComm comm;
  uint8_t buffer[4] = {};
  EXPECT_EQ(ErrorCodeOf([&] { comm.ReadData(buffer, 0, 100); }), 1);
  EXPECT_EQ(ErrorCodeOf([&] { comm.SendData(buffer, 0, 100); }), 1);
  EXPECT_EQ(ErrorCodeOf([&] { comm.SendString("+T01\r"); }), 1);
  EXPECT_EQ(ErrorCodeOf([&] { comm.QueuedBytes(0); }), 1);
  comm.HoldEvents(true);
  EXPECT_EQ(comm.HoldCount(), 0);
}

TEST(SerialTransfer, CountZeroTouchesNothing) {
  OpenLine o;
  o.line->Arrive("abc");
  uint8_t buffer[4] = {};
  EXPECT_EQ(o.comm.ReadData(buffer, 0, 100), 0u);
  EXPECT_EQ(o.comm.SendData(buffer, 0, 100), 0u);
  EXPECT_TRUE(o.line->read_sizes.empty());
  EXPECT_TRUE(o.line->write_sizes.empty());
  EXPECT_TRUE(o.comm.SendString(""));
}

TEST(SerialTransfer, CommandStringIsWrittenWhole) {
  OpenLine o;
  EXPECT_TRUE(o.comm.SendString("+T01\r"));
  EXPECT_EQ(o.line->written, "+T01\r");
}

TEST(SerialTransfer, WriteNeverExceedsTheRoomInTheTransmitQueue) {
  OpenLine o;
  o.line->out_queue = 200;
  o.line->max_write = 30;
  const std::string text(100, 'x');
  EXPECT_EQ(o.comm.SendData(text.data(), 100, 50), 100u);
  ASSERT_FALSE(o.line->write_sizes.empty());
  for (uint32_t size : o.line->write_sizes) EXPECT_LE(size, 50u);
  EXPECT_EQ(o.line->written, text);
}

TEST(SerialTransfer, FullTransmitQueueEndsTheWriteByItsBudget) {
  OpenLine o;
  o.line->out_queue = 250;
  const std::string text = "+T01\r";
  uint32_t written = 99;
  const int ms = ElapsedMs([&] { written = o.comm.SendData(text.data(), 5, 60); });
  EXPECT_EQ(written, 0u);
  EXPECT_TRUE(o.line->write_sizes.empty());
  EXPECT_GE(ms, 60);
  EXPECT_LT(ms, 1000);
  EXPECT_FALSE(o.comm.SendString(text)) << "a string that did not go out whole";
}

TEST(SerialTransfer, ReadReturnsWhatArrivedWhenTheBudgetEnds) {
  OpenLine o;
  o.line->Arrive(std::string(20, 'a'));
  uint8_t buffer[600];
  uint32_t n = 0;
  const int ms = ElapsedMs([&] { n = o.comm.ReadData(buffer, 600, 100); });
  EXPECT_EQ(n, 20u);
  EXPECT_GE(ms, 100);
  EXPECT_LT(ms, 600);
}

TEST(SerialTransfer, ReadReturnsAtOnceWhenTheCountIsThere) {
  OpenLine o;
  o.line->Arrive(std::string(700, 'b'));
  uint8_t buffer[600];
  uint32_t n = 0;
  const int ms = ElapsedMs([&] { n = o.comm.ReadData(buffer, 600, 100); });
  EXPECT_EQ(n, 600u);
  EXPECT_LT(ms, 80);
  EXPECT_EQ(o.line->Queued(), 100u);
}

TEST(SerialTransfer, BytesTricklingInDoNotExtendTheBudget) {
  OpenLine o;
  for (uint32_t t = 10; t <= 300; t += 30) o.line->Arrive("x", t);
  uint8_t buffer[600];
  uint32_t n = 0;
  const int ms = ElapsedMs([&] { n = o.comm.ReadData(buffer, 600, 100); });
  EXPECT_GE(n, 2u);
  EXPECT_LE(n, 5u);
  EXPECT_GE(ms, 100);
  EXPECT_LT(ms, 250);
}

TEST(SerialTransfer, CountedBytesThatNeverArriveDoNotHangTheRead) {
  OpenLine o;
  o.line->phantom_in = 3;
  uint8_t buffer[16];
  uint32_t n = 99;
  const int ms = ElapsedMs([&] { n = o.comm.ReadData(buffer, 16, 100); });
  EXPECT_EQ(n, 0u);
  EXPECT_GE(ms, 100);
  EXPECT_LT(ms, 1000);
  EXPECT_EQ(o.comm.ReadData(buffer, 16, 0), 0u) << "budget 0 looks and returns";
}

TEST(SerialTransfer, BudgetZeroStillLooksOnce) {
  OpenLine o;
  o.line->Arrive("OK");
  uint8_t buffer[600];
  EXPECT_EQ(o.comm.ReadData(buffer, 600, 0), 2u);
  EXPECT_EQ(o.comm.ReadData(buffer, 600, 0), 0u);
}

TEST(SerialTransfer, FailedReadAndWriteCarryTheSystemText) {
  OpenLine o;
  o.line->Arrive("x");
  o.line->fail_read = true;
  uint8_t buffer[8];
  try {
    o.comm.ReadData(buffer, 8, 10);
    FAIL();
  } catch (const EDeviceError& e) {
    EXPECT_EQ(e.ErrorCode, 10);
    EXPECT_STREQ(e.what(), "Unable to read from port. (Win32 error 5: Access is denied)");
    ASSERT_TRUE(e.Cause());
    EXPECT_EQ(e.Cause()->number, 5);
    EXPECT_EQ(e.Cause()->text, "Access is denied");
  }
  o.line->fail_write = true;
  try {
    o.comm.SendString("+s\r");
    FAIL();
  } catch (const EDeviceError& e) {
    EXPECT_EQ(e.ErrorCode, 11);
    EXPECT_STREQ(e.what(), "Unable to write to port. (Win32 error 5: Access is denied)");
  }
  EXPECT_TRUE(o.comm.LockState().Empty());
}

TEST(SerialTransfer, BrokenLineEndsTheReadWithAnErrorInsteadOfWaiting) {
  OpenLine o;
  o.line->broken = true;
  o.line->error = {5, "Input/output error"};
  uint8_t buffer[8];
  int code = 0;
  const int ms = ElapsedMs([&] { code = ErrorCodeOf([&] { o.comm.ReadData(buffer, 8, 1000); }); });
  EXPECT_EQ(code, 10);
  EXPECT_LT(ms, 500);
}

TEST(SerialTransfer, LineLostAfterAnAnswerKeepsItAndTheNextReadFails) {
  OpenLine o;
  o.line->Arrive("OK\r\n", 20);
  o.line->HangUp(40);
  uint8_t buffer[600];
  uint32_t n = 0;
  EXPECT_EQ(ErrorCodeOf([&] { n = o.comm.ReadData(buffer, 600, 100); }), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer), n), "OK\r\n");
  EXPECT_EQ(ErrorCodeOf([&] { o.comm.ReadData(buffer, 600, 100); }), 10);
}

TEST(SerialTransfer, HandlersCannotReenterTheirOwnDirection) {
  OpenLine o;
  int sendCode = 0;
  o.comm.OnSend = [&](TCustomComm& c) {
    EXPECT_EQ(c.LockState(), (TCommLocks{lkSend}));
    sendCode = ErrorCodeOf([&] { c.SendString("again"); });
    if (sendCode == 4) throw EDeviceError(sSendLocked, kErrSendLocked);
  };
  EXPECT_EQ(ErrorCodeOf([&] { o.comm.SendString("+T01\r"); }), 4);
  EXPECT_EQ(sendCode, 4);
  EXPECT_TRUE(o.comm.LockState().Empty()) << "the lock is cleared when the handler raises";

  int readCode = 0;
  bool readInsideRead = false;
  o.comm.OnSend = nullptr;
  o.comm.OnRead = [&](TCustomComm& c) {
    uint8_t b[4];
    readCode = ErrorCodeOf([&] { c.ReadData(b, 4, 0); });
    readInsideRead = c.SendString("ok");  // the other direction is allowed
  };
  o.line->Arrive("data");
  uint8_t buffer[4];
  EXPECT_EQ(o.comm.ReadData(buffer, 4, 50), 4u);
  EXPECT_EQ(readCode, 5);
  EXPECT_TRUE(readInsideRead);
}

TEST(SerialTransfer, EveryWritePassReportsOutEmptyUnlessHeld) {
  OpenLine o;
  o.line->max_write = 2;
  std::vector<TDeviceEvents> events;
  o.comm.OnCommEvent = [&](TCustomComm&, TDeviceEvents e) { events.push_back(e); };
  o.comm.SendString("+T01\r");
  EXPECT_EQ(events.size(), 3u);
  for (TDeviceEvents e : events) EXPECT_EQ(e, TDeviceEvents{deOutEmpty});

  events.clear();
  o.comm.HoldEvents(true);
  o.comm.HoldEvents(true);
  o.comm.SendString("ab");
  o.comm.HoldEvents(false);
  o.comm.SendString("ab");
  EXPECT_TRUE(events.empty()) << "two holds need two releases";
  o.comm.HoldEvents(false);
  o.comm.HoldEvents(false);
  EXPECT_EQ(o.comm.HoldCount(), 0);
  o.comm.SendString("ab");
  EXPECT_EQ(events.size(), 1u);

  events.clear();
  o.comm.SetMonitorEvents({deChar});
  o.comm.SendString("ab");
  EXPECT_TRUE(events.empty()) << "deOutEmpty is not monitored";
}

TEST(SerialTransfer, ReceivedCharacterWordReportsTheQueueCountOnce) {
  OpenLine o;
  std::vector<uint32_t> counts;
  o.comm.OnData = [&](TCustomComm&, uint32_t n) { counts.push_back(n); };
  o.line->Arrive("hello\n");
  o.comm.DispatchEvents({deChar, deFlag});
  EXPECT_EQ(counts, (std::vector<uint32_t>{6}));
  o.comm.HoldEvents(true);
  o.comm.DispatchEvents({deChar});
  EXPECT_EQ(counts.size(), 1u);
  o.comm.HoldEvents(false);
  o.comm.OnData = nullptr;  // the event thread's own delivery is served by the close
  o.comm.CloseDevice();
  o.comm.OnData = [&](TCustomComm&, uint32_t n) { counts.push_back(n); };
  o.comm.DispatchEvents({deChar});
  EXPECT_EQ(counts.size(), 1u) << "nothing is dispatched once closed";
}

TEST(SerialTransfer, IdleHookRunsWhileAReadWaits) {
  OpenLine o;
  std::vector<uint32_t> calls;
  o.comm.SetIdleHook([&] { calls.push_back(TickMs()); });
  uint8_t buffer[16];
  o.comm.ReadData(buffer, 16, 300);
  ASSERT_GE(calls.size(), 3u);
  for (size_t i = 1; i < calls.size(); ++i) EXPECT_GE(calls[i] - calls[i - 1], 35u);
}

TEST(SerialTransfer, ClockDifferencesSurviveTheWrap) {
  const uint32_t before = 0xFFFFFFF0u;
  const uint32_t after = 0x00000010u;
  EXPECT_EQ(after - before, 0x20u);
  const uint32_t a = TickMs();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const uint32_t b = TickMs();
  EXPECT_GE(b - a, 19u);
  EXPECT_LT(b - a, 2000u);
}

TEST(SerialErrors, SystemTextLosesTrailingStopsAndBlanks) {
  EXPECT_EQ(TrimSystemText("Access is denied.\r\n"), "Access is denied");
  EXPECT_EQ(TrimSystemText("No such device. . "), "No such device");
  EXPECT_EQ(TrimSystemText("...."), "");
  EXPECT_EQ(TrimSystemText("v1.0 ready"), "v1.0 ready");
  try {
    RaiseWin32DeviceError("Unable to write to port.", 11, {5, "Access is denied.\r\n"});
  } catch (const EDeviceError& e) {
    EXPECT_STREQ(e.what(), "Unable to write to port. (Win32 error 5: Access is denied)");
    EXPECT_EQ(e.ErrorCode, 11);
    ASSERT_TRUE(e.Cause());
    EXPECT_EQ(e.Cause()->text, "Access is denied");
  }
  // The component's own refusals have no system cause.
  EXPECT_FALSE(EDeviceError(sDeviceNotOpened, kErrNotOpened).Cause());
}

}  // namespace
