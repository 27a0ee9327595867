// The simulated panel answers the configurator's command set from its memory.
#ifdef ORVEX_GSM_SIM_PATH

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/sim_process.h"

namespace orvex_test {
namespace {

const std::string kZeroKey(16, '0');
const std::string kZeroNumber(32, '0');

std::string ReadAnswer(const std::string& data) {
  return ">" + data + "\r\nOK\r\n";
}

TEST(SimPanel, FreshPanelReportsEmptyKeysFlagsAndNumbers) {
  SimProcess sim;
  PtyClient line(sim.SlavePath());
  const std::vector<std::pair<std::string, std::string>> reads = {
      {"+T01", kZeroKey},
      {"+T02", kZeroKey},
      {"+T03", kZeroKey},
      {"+T04", kZeroKey},
      {"+s", "0000"},
      {"+H01", "01" + kZeroNumber},
      {"+H02", "02" + kZeroNumber},
      {"+H03", "03" + kZeroNumber},
      {"+H04", "04" + kZeroNumber},
      {"+H05", "05" + kZeroNumber},
      {"+H06", "06" + kZeroNumber},
  };
  for (const auto& [command, data] : reads) {
    EXPECT_EQ(line.Exchange(command), ReadAnswer(data)) << command;
  }
}

TEST(SimPanel, KeepsWrittenSettingsAndReadsThemBack) {
  struct Case {
    std::string write;
    std::string read;
    std::string data;  // reply data expected from `read` afterwards
  };
  const std::string number12 = "3132" + std::string(28, '0');
  const std::string number_plus = "2B" + std::string(30, '0');
  const std::string number16 = "2B373931323334353637383930313233";  // 16 characters, no end mark
  const std::vector<Case> cases = {
      {"+T010123456789ABCDEF", "+T01", "0123456789ABCDEF"},
      {"+T04fedcba9876543210", "+T04", "FEDCBA9876543210"},  // either case in, upper case out
      {"+s0500", "+s", "0500"},
      {"+s3F01", "+s", "3F01"},
      {"+s0a0B", "+s", "0A0B"},
      {"+sFFC1", "+s", "3F01"},  // no event has bits 6 and 7
      {"+H03" + number12, "+H03", "03" + number12},
      {"+H06" + number_plus, "+H06", "06" + number_plus},
      {"+H01" + number16, "+H01", "01" + number16},
  };
  SimProcess sim;
  PtyClient line(sim.SlavePath());
  for (const Case& c : cases) {
    EXPECT_EQ(line.Exchange(c.write), "OK\r\n") << c.write;
    EXPECT_EQ(line.Exchange(c.read), ReadAnswer(c.data)) << c.write;
  }
  // Slots that were not written keep their factory values.
  EXPECT_EQ(line.Exchange("+T02"), ReadAnswer(kZeroKey));
  EXPECT_EQ(line.Exchange("+H02"), ReadAnswer("02" + kZeroNumber));
}

TEST(SimPanel, RefusesMalformedCommandsWithoutOkAndKeepsItsMemory) {
  TempDir dir;
  const std::string state = dir.File("state");
  const std::string key1 = "1122334455667788";
  const std::string number1 = "3132" + std::string(28, '0');
  WriteSimState(state, {{"key1", key1}, {"dial", "05"}, {"h24", "01"}, {"number1", number1}});
  const std::vector<std::string> refused = {
      "+T05",
      "+T09",
      "+T0",
      "+T",
      "+T1",
      "+T0A",
      "+T01" + std::string(15, 'A'),
      "+T01" + std::string(17, 'A'),
      "+T010123456789ABCDEG",
      "+T00" + std::string(16, 'A'),  // the reader's key cannot be written
      "+s05",
      "+s05ZZ",
      "+s0500FF",
      "+H00",
      "+H07",
      "+H0",
      "+H01" + std::string(30, '0'),
      "+H01" + std::string(34, '0'),
      "+H01" + std::string(31, '0') + "G",
      "+X",
      "T01",
      "+t01",
      "+S",
      "+h01",
      "OK",
      std::string("\x01\x02\xff\x7f", 4),
      std::string("+T0\0"
                  "1",
                  5),
  };
  SimProcess sim({"--state", state});
  PtyClient line(sim.SlavePath());
  for (const std::string& command : refused) {
    EXPECT_EQ(line.Exchange(command), "ERROR\r\n") << command;
  }
  EXPECT_EQ(line.Exchange("+T01"), ReadAnswer(key1));
  EXPECT_EQ(line.Exchange("+s"), ReadAnswer("0501"));
  EXPECT_EQ(line.Exchange("+H01"), ReadAnswer("01" + number1));
}

TEST(SimPanel, ReadsTheKeyHeldToTheReader) {
  SimProcess sim({"--present", "0123456789abcdef"});
  PtyClient line(sim.SlavePath());
  EXPECT_EQ(line.Exchange("+T00"), ReadAnswer("0123456789ABCDEF"));
  // Reading the reader does not store the key anywhere.
  EXPECT_EQ(line.Exchange("+T01"), ReadAnswer(kZeroKey));
}

TEST(SimPanel, WithoutAKeyAtTheReaderTheReadIsRefusedAfterTheReaderWait) {
  SimProcess sim({"--reader-wait", "300"});
  PtyClient line(sim.SlavePath());
  EXPECT_EQ(line.Exchange("+T00", 5000), "ERROR\r\n");
}

TEST(SimPanel, KeyPresentedWhileTheReadWaitsIsAnswered) {
  SimProcess sim({"--reader-wait", "20000"});  // longer than the test
  PtyClient line(sim.SlavePath());
  ASSERT_TRUE(line.Send("+T00\r"));
  ASSERT_TRUE(sim.WaitForCommands(1));
  EXPECT_EQ(line.ReadFor(200), "");  // nothing yet: no key
  ASSERT_TRUE(sim.PresentKey("887766554433221a"));
  EXPECT_EQ(line.ReadUntil("OK\r\n", 5000), ReadAnswer("887766554433221A"));
}

TEST(SimPanel, KeyTakenAwayFromTheReaderIsNoLongerRead) {
  SimProcess sim({"--present", "0123456789ABCDEF", "--reader-wait", "200"});
  PtyClient line(sim.SlavePath());
  ASSERT_TRUE(sim.RemoveKey());
  EXPECT_EQ(line.Exchange("+T00", 5000), "ERROR\r\n");
  ASSERT_TRUE(sim.PresentKey("1111111111111111"));
  EXPECT_EQ(line.Exchange("+T00"), ReadAnswer("1111111111111111"));
}

TEST(SimPanel, CommandLogHoldsExactlyTheReceivedCommands) {
  SimProcess sim;
  PtyClient line(sim.SlavePath());
  const std::string binary("\x01\xff\\x41\0", 6);
  const std::string overlong(300, 'A');
  // Empty lines and the LF of a CR LF are no commands.
  ASSERT_TRUE(line.Send("+T01\r\n+s\r\r" + binary + "\r" + overlong + "\r+H0\t5\r"));
  EXPECT_NE(line.ReadUntil("ERROR\r\nERROR\r\nERROR\r\n", 5000).find("ERROR\r\nERROR\r\nERROR"),
            std::string::npos);
  ASSERT_TRUE(sim.WaitForCommands(5));
  const std::vector<std::string> expected = {"+T01", "+s", binary, std::string(256, 'A'), "+H0\t5"};
  EXPECT_EQ(sim.ReceivedCommands(), expected);
}

}  // namespace
}  // namespace orvex_test

#endif  // ORVEX_GSM_SIM_PATH
