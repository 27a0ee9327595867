// The command exchange on the fake line: what goes out, what comes back, how
// long it listens, and what it writes into log.txt.

#include <gtest/gtest.h>

#include <chrono>

#include "fakes/test_clock.h"
#include "panel/exchange.h"
#include "panel_test_support.h"
#include "serial/serial_error.h"

namespace {

using orvex_test::Clock;
using orvex_test::MsSince;

int CountOf(const std::string& text, const std::string& piece) {
  int count = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

class ExchangeTest : public LogDirTest {
 protected:
  void SetUp() override {
    LogDirTest::SetUp();
    host.Open();
  }
  std::string Send(const std::string& command, int32_t attempts, int32_t budget) {
    std::string reply = "left over";
    SendCommand(host, command, attempts, budget, reply);
    return reply;
  }
  TestHost host;
};

TEST_F(ExchangeTest, AnswerInFirstSliceIsAcceptedAndLoggedByteForByte) {
  const std::string answer = "\r\n>3F01\r\nOK\r\n";
  host.Answer({{answer, 10}});
  EXPECT_EQ(Send("+s", 1, 500), answer);
  EXPECT_EQ(host.line->written, "+s\r");
  EXPECT_EQ(host.connected, std::vector<bool>{true});
  EXPECT_EQ(Log(), answer + Line("Успешно отправили команду { +s } с попытки № 1"));
  EXPECT_EQ(host.holds_seen, std::vector<int32_t>{1});  // events held while it ran
  EXPECT_EQ(host.comm.HoldCount(), 0);
}

TEST_F(ExchangeTest, OkInSecondSliceLogsOneErrorAndSkipsTheThirdSlice) {
  host.Answer({{">1\r\n", 10}, {"OK\r\n", 150}});
  const auto start = Clock::now();
  EXPECT_EQ(Send("+T01", 1, 250), ">1\r\nOK\r\n");
  // The third slice would add another 100 ms of silence before returning.
  EXPECT_LT(MsSince(start), 290 + 2000);
  EXPECT_EQ(Log(), Line("error") + ">1\r\nOK\r\n" +
                       Line("Успешно отправили команду { +T01 } с попытки № 1"));
}

TEST_F(ExchangeTest, OAndKInDifferentSlicesStillCountAsOk) {
  host.Answer({{"O", 10}, {"K", 150}});
  EXPECT_EQ(Send("+T01", 1, 250), "OK");
  EXPECT_EQ(host.connected, std::vector<bool>{true});
}

TEST_F(ExchangeTest, AnswersWithoutAnUpperCaseOkPairAreRefused) {
  for (const std::string answer : {"ok\r\n", "Ok", "oK", "O K", "O\r\nK", "KO"}) {
    SCOPED_TRACE(answer);
    host.connected.clear();
    host.Answer({{answer, 5}});
    EXPECT_EQ(Send("+T01", 1, 100), "");
    EXPECT_EQ(host.connected, std::vector<bool>{false});
  }
}

TEST_F(ExchangeTest, BudgetIsSpentInWholeHundredMillisecondSlices) {
  struct Case {
    int32_t budget;
    int slices;
  };
  for (const Case c : {Case{-5, 0}, Case{0, 0}, Case{1, 1}, Case{100, 1}, Case{101, 2},
                       Case{250, 3}, Case{500, 5}}) {
    SCOPED_TRACE(c.budget);
    std::filesystem::remove("log.txt");
    const auto start = Clock::now();
    EXPECT_EQ(Send("+T01", 1, c.budget), "");
    const long took = MsSince(start);
    EXPECT_EQ(CountOf(Log(), "# error #"), c.slices);
    EXPECT_GE(took, c.slices * 100 - 5);
    EXPECT_LT(took, c.slices * 100 + 3000);
    // Even without a slice the command goes out and the attempt fails.
    EXPECT_EQ(CountOf(Log(), Utf8ToCp1251("Не смогли отправить команду { +T01 } с попытки № 1")),
              1);
  }
  EXPECT_EQ(CountOf(host.line->written, "+T01\r"), 7);
}

TEST_F(ExchangeTest, EveryFailedAttemptSendsAgainAndTheLastIsFollowedByCancel) {
  EXPECT_EQ(Send("+T01", 3, 100), "");
  EXPECT_EQ(host.line->written, "+T01\r+T01\r+T01\r");
  EXPECT_EQ(host.connected, (std::vector<bool>{false, false, false}));
  EXPECT_EQ(host.comm.HoldCount(), 0);
  EXPECT_EQ(Log(), Line("error") + Line("Не смогли отправить команду { +T01 } с попытки № 1") +
                       Line("error") + Line("Не смогли отправить команду { +T01 } с попытки № 2") +
                       Line("error") + Line("Не смогли отправить команду { +T01 } с попытки № 3") +
                       Line("Отмена отправки команды { +T01 } "));
}

TEST_F(ExchangeTest, SecondAttemptSucceedsAfterFirstFails) {
  host.Answer({});
  host.Answer({{"OK\r\n", 5}});
  EXPECT_EQ(Send("+T01", 2, 100), "OK\r\n");
  EXPECT_EQ(host.connected, (std::vector<bool>{false, true}));
  EXPECT_EQ(CountOf(Log(), Utf8ToCp1251("с попытки № 2")), 1);
}

TEST_F(ExchangeTest, ZeroAttemptsSendNothingAndLogOnlyTheCancelLine) {
  EXPECT_EQ(Send("+T01", 0, 250), "");
  EXPECT_EQ(host.line->written, "");
  EXPECT_TRUE(host.connected.empty());
  EXPECT_EQ(Log(), Line("Отмена отправки команды { +T01 } "));
}

TEST_F(ExchangeTest, LongCommandsAreShortenedInTheLogFromThirtyCharacters) {
  struct Case {
    size_t length;
    std::string label;
  };
  const std::string command40 = "+H0131323334353637383930313233343536373839";
  for (const Case& c :
       {Case{29, command40.substr(0, 29)}, Case{30, command40.substr(0, 30) + "....."},
        Case{40, command40.substr(0, 30) + "....."}}) {
    SCOPED_TRACE(c.length);
    std::filesystem::remove("log.txt");
    Send(command40.substr(0, c.length), 0, 250);
    EXPECT_EQ(Log(), "# STAMP # " + Utf8ToCp1251("Отмена отправки команды { ") + c.label + " } " +
                         " #\r\n");
  }
}

TEST_F(ExchangeTest, ClosedPortChangesNothingAndLogsNothing) {
  host.comm.CloseDevice();
  EXPECT_EQ(Send("+T01", 1, 250), "left over");
  EXPECT_TRUE(host.connected.empty());
  EXPECT_FALSE(LogExists());
}

TEST_F(ExchangeTest, ReplyTextHoldsOnlyTheFirst254BytesButTheLogHasAll) {
  const std::string answer = std::string(300, 'A') + "OK";
  host.Answer({{answer, 5}});
  EXPECT_EQ(Send("+T01", 1, 250), std::string(254, 'A'));
  EXPECT_EQ(Log(), answer + Line("Успешно отправили команду { +T01 } с попытки № 1"));
}

TEST_F(ExchangeTest, ZeroBytesAreLeftOutOfReplyAndLog) {
  host.Answer({{std::string("A\0B\0OK", 6), 5}});
  EXPECT_EQ(Send("+T01", 1, 250), "ABOK");
  EXPECT_EQ(Log().substr(0, 4), "ABOK");
}

TEST_F(ExchangeTest, FloodOfTwoThousandBytesStaysInsideTheBuffer) {
  // An "OK" past the 999 bytes that fit is never seen; one inside is.
  host.Answer({{std::string(1500, 'A') + "OK" + std::string(498, 'A'), 5}});
  EXPECT_EQ(Send("+T01", 1, 500), "");
  host.Answer({{std::string(990, 'B') + "OK" + std::string(1008, 'B'), 5}});
  EXPECT_EQ(Send("+T01", 1, 500), std::string(254, 'B'));
}

TEST_F(ExchangeTest, FullBufferStillListensForTheRestOfTheBudget) {
  host.Answer({{std::string(999, 'A'), 5}});
  const auto start = Clock::now();
  EXPECT_EQ(Send("+T01", 1, 300), "");
  EXPECT_GE(MsSince(start), 95);  // the slices after the buffer filled still wait on the line
  EXPECT_EQ(CountOf(Log(), "# error #"), 3);
}

TEST_F(ExchangeTest, LateBytesOfAnEarlierCommandAreDiscardedBeforeSending) {
  host.line->Arrive(">stale\r\nOK\r\n");
  ASSERT_GT(host.line->Queued(), 0u);
  host.Answer({{">new\r\nOK\r\n", 10}});
  EXPECT_EQ(Send("+T02", 1, 250), ">new\r\nOK\r\n");
  EXPECT_EQ(Log(), ">stale\r\nOK\r\n" + Line("Отброшены данные до команды { +T02 }") +
                       ">new\r\nOK\r\n" + Line("Успешно отправили команду { +T02 } с попытки № 1"));
}

TEST_F(ExchangeTest, OnABabblingLineNoCommandIsCreditedWithAnothersOk) {
  // One byte every 90 ms: the line is never quiet for a whole slice.
  for (uint32_t t = 0; t < 9000; t += 90) host.line->Arrive(".", t);
  host.Answer({{"OK\r\n", 350}});  // accepted after its budget has run out
  host.Answer({{"ERROR\r\n", 10}});
  host.Answer({{">1\r\nOK\r\n", 10}});
  const auto start = Clock::now();
  EXPECT_EQ(Send("+T01", 1, 250), "");
  EXPECT_EQ(Send("+T02", 1, 250), "");
  EXPECT_EQ(ExtractReply(Send("+T03", 1, 250)), "1");
  EXPECT_EQ(host.connected, (std::vector<bool>{false, false, true}));
  // Each wait for a quiet line gives up after about a second.
  EXPECT_LT(MsSince(start), 6000);
  EXPECT_EQ(CountOf(Log(), Utf8ToCp1251("Отброшены данные до команды")), 3);
}

TEST_F(ExchangeTest, LateOkAloneDoesNotMakeASilentPanelLookPresent) {
  host.line->Arrive("OK\r\n");
  EXPECT_EQ(Send("+T01", 1, 100), "");
  EXPECT_EQ(host.connected, std::vector<bool>{false});
}

TEST_F(ExchangeTest, DiscardIsSilentOutsideDebugMode) {
  DebugMode = false;
  host.line->Arrive("OK\r\n");
  EXPECT_EQ(Send("+T01", 1, 100), "");
  EXPECT_EQ(host.line->Queued(), 0u);
  EXPECT_FALSE(LogExists());
}

TEST_F(ExchangeTest, ReadFailureLeavesAtOnceReleasingTheHoldWithoutCancelLine) {
  host.Answer({});
  host.Answer({{"OK", 5}});
  host.line->fail_read = true;
  std::string reply = "left over";
  EXPECT_THROW(SendCommand(host, "+T01", 2, 250, reply), EDeviceError);
  EXPECT_EQ(reply, "");
  EXPECT_EQ(host.holds_seen, (std::vector<int32_t>{1, 1}));
  EXPECT_EQ(host.comm.HoldCount(), 0);
  // The first attempt's outcome stays on the box.
  EXPECT_EQ(host.connected, std::vector<bool>{false});
  EXPECT_EQ(CountOf(Log(), Utf8ToCp1251("Отмена")), 0);
}

TEST_F(ExchangeTest, LogFailureLeavesAtOnceReleasingTheHold) {
  std::filesystem::create_directory("log.txt");  // cannot be opened as a file
  std::string reply;
  EXPECT_THROW(SendCommand(host, "+T01", 1, 100, reply), EInOutError);
  EXPECT_EQ(host.comm.HoldCount(), 0);
}

TEST(ReplyHasOk, FindsAnUpperCasePairAnywhere) {
  struct Case {
    std::string bytes;
    bool ok;
  };
  for (const Case& c :
       {Case{"OK", true}, Case{"xxOKxx", true}, Case{std::string("\0\0OK", 4), true},
        Case{std::string("O\0K", 3), false}, Case{"ok", false}, Case{"KO", false}, Case{"O", false},
        Case{"", false}, Case{"OOK", true}}) {
    SCOPED_TRACE(c.bytes);
    const auto* data = reinterpret_cast<const uint8_t*>(c.bytes.data());
    EXPECT_EQ(ReplyHasOk({data, c.bytes.size()}), c.ok);
  }
}

TEST(ExtractReply, CutsTheDataBetweenTheFirstMarkerAndTheNextLineEnd) {
  struct Case {
    std::string text;
    std::string data;
  };
  for (const Case& c : {Case{"junk>AB\r\nmore\r\n", "AB"}, Case{"\r\n>A>B\r\nOK", "A>B"},
                        Case{">\r\nOK", ""}, Case{"\r\n>ABC", ""}, Case{"AB\r\nOK", ""},
                        Case{">AB\rC\nD\r\n", "AB\rC\nD"}, Case{"", ""}}) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ExtractReply(c.text), c.data);
  }
}

}  // namespace
