// The simulator's misbehaviour options, which the tests of the configurator
// use to play a slow, silent, noisy or broken panel.
#ifdef ORVEX_GSM_SIM_PATH

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "fakes/sim_process.h"
#include "fakes/test_clock.h"

namespace orvex_test {
namespace {

const std::string kKey1Answer = ">0000000000000000\r\nOK\r\n";
const std::string kNewKey = "0123456789ABCDEF";

std::string WithoutNul(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
  return text;
}

TEST(SimMisbehaviour, DelayedAnswerComesNoEarlierThanTheDelay) {
  SimProcess sim({"--delay", "400"});
  PtyClient line(sim.SlavePath());
  auto start = Clock::now();
  EXPECT_EQ(line.Exchange("+T01", 10000), kKey1Answer);
  EXPECT_GE(MsSince(start), 390);
}

TEST(SimMisbehaviour, SilentPanelNeverAnswersButLogsTheCommand) {
  SimProcess sim({"--silent"});
  PtyClient line(sim.SlavePath());
  ASSERT_TRUE(line.Send("+T01\r"));
  EXPECT_EQ(line.ReadFor(600), "");
  EXPECT_EQ(sim.ReceivedCommands(), std::vector<std::string>{"+T01"});
}

TEST(SimMisbehaviour, CommandsLostOrRefusedByPrefixChangeNothing) {
  TempDir dir;
  const std::string state = dir.File("state");
  SimProcess sim(
      {"--state", state, "--silent-on", "+H03", "--error-on", "+s", "--error-on", "+T02"});
  PtyClient line(sim.SlavePath());
  ASSERT_TRUE(line.Send("+H03" + std::string(4, '3') + std::string(28, '0') + "\r"));
  EXPECT_EQ(line.ReadFor(500), "");
  EXPECT_EQ(line.Exchange("+s0500"), "ERROR\r\n");
  EXPECT_EQ(line.Exchange("+s"), "ERROR\r\n");
  EXPECT_EQ(line.Exchange("+T02" + kNewKey), "ERROR\r\n");
  // Commands with other prefixes are served as usual.
  EXPECT_EQ(line.Exchange("+H01"), ">01" + std::string(32, '0') + "\r\nOK\r\n");
  EXPECT_EQ(line.Exchange("+T01" + kNewKey), "OK\r\n");
  sim.Stop();  // the state file follows the answers: complete once it has ended
  std::map<std::string, std::string> saved = ReadSimState(state);
  EXPECT_EQ(saved["key1"], kNewKey);
  EXPECT_EQ(saved["key2"], std::string(16, '0'));
  EXPECT_EQ(saved["number3"], std::string(32, '0'));
  EXPECT_EQ(saved["dial"], "00");
}

TEST(SimMisbehaviour, MatchLimitsMisbehaviourToTheGivenCommands) {
  SimProcess sim({"--silent", "--match", "+H0", "--match", "+s"});
  PtyClient line(sim.SlavePath());
  EXPECT_EQ(line.Exchange("+T01"), kKey1Answer);
  ASSERT_TRUE(line.Send("+H01\r+s\r"));
  EXPECT_EQ(line.ReadFor(600), "");
  EXPECT_EQ(line.Exchange("+T02"), kKey1Answer);
}

TEST(SimMisbehaviour, AnswerInPiecesArrivesSpreadOverTheGaps) {
  SimProcess sim({"--pieces", "3", "--piece-gap", "300"});
  PtyClient line(sim.SlavePath());
  ASSERT_TRUE(line.Send("+T01\r"));
  std::string first = line.ReadUntil(">", 5000);
  auto first_arrived = Clock::now();
  EXPECT_EQ(first.find("OK"), std::string::npos) << "the answer came whole";
  std::string rest = line.ReadUntil("OK\r\n", 5000);
  EXPECT_GE(MsSince(first_arrived), 300);  // two gaps of 300 ms, with room for a slow reader
  EXPECT_EQ(first + rest, kKey1Answer);
}

TEST(SimMisbehaviour, NulBytesAreInterleavedAndSplitTheOk) {
  SimProcess sim({"--nul"});
  PtyClient line(sim.SlavePath());
  ASSERT_TRUE(line.Send("+T01\r"));
  std::string raw = line.ReadUntil(std::string("K\0\r\0\n\0", 6), 5000);
  EXPECT_EQ(raw.size(), 2 * kKey1Answer.size());
  EXPECT_EQ(raw.find("OK"), std::string::npos);
  EXPECT_EQ(WithoutNul(raw), kKey1Answer);
}

TEST(SimMisbehaviour, LowercaseOkIsSentForReadsAndWrites) {
  SimProcess sim({"--lowercase-ok"});
  PtyClient line(sim.SlavePath());
  ASSERT_TRUE(line.Send("+T01\r"));
  EXPECT_EQ(line.ReadUntil("ok\r\n", 5000), ">0000000000000000\r\nok\r\n");
  ASSERT_TRUE(line.Send("+T01" + kNewKey + "\r"));
  EXPECT_EQ(line.ReadUntil("ok\r\n", 5000), "ok\r\n");
  // The write was carried out all the same.
  ASSERT_TRUE(line.Send("+T01\r"));
  EXPECT_EQ(line.ReadUntil("ok\r\n", 5000), ">" + kNewKey + "\r\nok\r\n");
}

TEST(SimMisbehaviour, LongAnswerPutsTheReplyBeyondTheFirst254Bytes) {
  struct Case {
    std::vector<std::string> args;
    size_t fill;
  };
  for (const Case& c : {Case{{"--long"}, 300}, Case{{"--long=1500"}, 1500}}) {
    SimProcess sim(c.args);
    PtyClient line(sim.SlavePath());
    std::string answer = line.Exchange("+T01", 5000);
    ASSERT_EQ(answer.size(), c.fill + 2 + kKey1Answer.size()) << c.fill;
    EXPECT_EQ(answer.substr(0, c.fill), std::string(c.fill, '*'));
    EXPECT_EQ(answer.substr(c.fill), "\r\n" + kKey1Answer);
  }
}

TEST(SimMisbehaviour, BadHexSpoilsTheLastPairOfReadData) {
  SimProcess sim({"--bad-hex"});
  PtyClient line(sim.SlavePath());
  EXPECT_EQ(line.Exchange("+T01"), ">00000000000000ZZ\r\nOK\r\n");
  EXPECT_EQ(line.Exchange("+s"), ">00ZZ\r\nOK\r\n");
  EXPECT_EQ(line.Exchange("+H02"), ">02" + std::string(30, '0') + "ZZ\r\nOK\r\n");
  EXPECT_EQ(line.Exchange("+T01" + kNewKey), "OK\r\n");
}

TEST(SimMisbehaviour, LateAnswerKeepsTheCommandOrder) {
  SimProcess sim({"--late", "+T01:400"});
  PtyClient line(sim.SlavePath());
  auto start = Clock::now();
  ASSERT_TRUE(line.Send("+T01\r+s\r"));
  // The next command's answer waits behind the late one.
  EXPECT_EQ(line.ReadUntil(">0000\r\nOK\r\n", 5000), kKey1Answer + ">0000\r\nOK\r\n");
  EXPECT_GE(MsSince(start), 390);
}

TEST(SimMisbehaviour, AnswersTheNamedCommandTwice) {
  SimProcess sim({"--twice", "+s:300"});
  PtyClient line(sim.SlavePath());
  EXPECT_EQ(line.Exchange("+s"), ">0000\r\nOK\r\n");
  EXPECT_EQ(line.ReadUntil("OK\r\n", 3000), ">0000\r\nOK\r\n");
  EXPECT_EQ(line.Exchange("+T01"), kKey1Answer);
  EXPECT_EQ(line.ReadFor(500), "");
}

TEST(SimMisbehaviour, AnswerAsCarriesOutTheOtherCommand) {
  SimProcess sim({"--answer-as", "+H02:+T01", "--answer-as", "+T02:+s0101"});
  PtyClient line(sim.SlavePath());
  EXPECT_EQ(line.Exchange("+H02"), kKey1Answer);
  EXPECT_EQ(line.Exchange("+T02" + kNewKey), "OK\r\n");
  EXPECT_EQ(line.Exchange("+s"), ">0101\r\nOK\r\n");  // the key write became a flags write
}

TEST(SimMisbehaviour, HangsUpInTheMiddleOfAnAnswer) {
  SimProcess sim({"--hangup-mid", "+T01"});
  PtyClient line(sim.SlavePath());
  EXPECT_EQ(line.Exchange("+s"), ">0000\r\nOK\r\n");
  ASSERT_TRUE(line.Send("+T01\r"));
  const std::string half = kKey1Answer.substr(0, kKey1Answer.size() / 2);
  EXPECT_EQ(line.ReadUntil(half, 3000), half);
  EXPECT_TRUE(line.WaitForHangup(3000));
  EXPECT_EQ(sim.WaitForExit(3000), 0);
}

TEST(SimMisbehaviour, HangsUpAfterTheGivenNumberOfAnsweredCommands) {
  TempDir dir;
  const std::string link = dir.File("panel");
  SimProcess sim({"--hangup-after", "2", "--link", link});
  PtyClient line(sim.SlavePath());
  EXPECT_EQ(line.Exchange("+T01"), kKey1Answer);
  EXPECT_EQ(line.Exchange("+s"), ">0000\r\nOK\r\n");
  EXPECT_TRUE(line.WaitForHangup(5000));
  EXPECT_EQ(sim.WaitForExit(5000), 0);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(SimMisbehaviour, HangupAfterALostCommandLeavesItUnanswered) {
  SimProcess sim({"--hangup-after", "1", "--silent-on", "+T01"});
  PtyClient line(sim.SlavePath());
  ASSERT_TRUE(line.Send("+T01\r"));
  EXPECT_TRUE(line.WaitForHangup(5000));
  EXPECT_EQ(sim.WaitForExit(5000), 0);
}

}  // namespace
}  // namespace orvex_test

#endif  // ORVEX_GSM_SIM_PATH
