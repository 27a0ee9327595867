// The command-line tool against the panel simulator over a real
// pseudo-terminal: what the installer sees and what the panel receives.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "serial/comm_device.h"
#include "sim_process.h"
#include "tools/cli/cli.h"
#include "tools/cli/settings_file.h"

namespace {

using orvex_test::SimProcess;
using orvex_test::TempDir;

struct CliRun {
  int code;
  std::string out;
  std::string err;
};

CliRun Cli(std::vector<std::string> args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  const int code = RunCli(args, in, out, err);
  return {code, out.str(), err.str()};
}

const char* kSettings =
    "# gate panel\n"
    "key1=0123456789ABCDEF\n"
    "key2=1111111111111111\n"
    "key3=00000000000000A5\n"
    "key4=FFFFFFFFFFFFFFFF\n"
    "number1=+79161234567\n"
    "number2=112\n"
    "number3=\n"
    "number4=89031112233\n"
    "number5=+7\n"
    "number6=0123456789\n"
    "dial1=1\ndial2=1\ndial3=0\ndial4=1\ndial5=0\ndial6=1\n"
    "day1=0\nday2=1\nday3=0\nday4=0\nday5=1\nday6=0\n";

TEST(CliEndToEnd, ProbeFindsThePanelOrSaysThereIsNone) {
  SimProcess sim;
  CliRun run = Cli({"--port", sim.SlavePath(), "probe"});
  EXPECT_EQ(run.code, kExitOk);
  EXPECT_EQ(run.out, "found on " + sim.SlavePath() + "\n");
  EXPECT_EQ(sim.ReceivedCommands(), std::vector<std::string>{"+T01"});

  run = Cli({"--port", "/dev/null-no-such-port", "probe"});
  EXPECT_EQ(run.code, kExitNoAnswer);
  EXPECT_EQ(run.err, "no answer on /dev/null-no-such-port\n");
}

TEST(CliEndToEnd, WriteSendsEverythingAndReadGivesItBack) {
  SimProcess sim;
  TempDir dir;
  const std::string file = dir.File("gate.txt");
  std::ofstream(file) << kSettings;

  CliRun run = Cli({"--port", sim.SlavePath(), "write", file});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  const std::vector<std::string> sent = sim.ReceivedCommands();
  ASSERT_EQ(sent.size(), 11u);
  EXPECT_EQ(sent[0], "+T01EFCDAB8967452301") << "keys go out in panel order";
  EXPECT_EQ(sent[2], "+T03A500000000000000");
  EXPECT_EQ(sent[4], "+s2B12");
  EXPECT_EQ(sent[5], "+H012B373931363132333435363700000000");
  EXPECT_EQ(sent[7], "+H0300000000000000000000000000000000") << "an undialled event sends zeros";

  run = Cli({"--port", sim.SlavePath(), "read"});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  const PanelSettings wrote = ParseSettingsFile(kSettings);
  const PanelSettings read = ParseSettingsFile(run.out);
  EXPECT_EQ(read.keys, wrote.keys);
  EXPECT_EQ(read.dial, wrote.dial);
  EXPECT_EQ(read.day, wrote.day);
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i + 1);
    // A number only travels with its dial flag.
    EXPECT_EQ(read.numbers[i], wrote.dial[i] ? wrote.numbers[i] : "");
  }
}

TEST(CliEndToEnd, UnacceptedCommandsAreNamedAndFailTheWrite) {
  SimProcess sim({"--silent-on", "+H03", "--silent-on", "+T02"});
  CliRun run = Cli({"--port", sim.SlavePath(), "write", "-"}, kSettings);
  EXPECT_EQ(run.code, kExitNotAccepted);
  EXPECT_EQ(run.err, "not accepted by the panel: +T02, +H03\n");
  EXPECT_EQ(sim.ReceivedCommands().size(), 11u) << "every command is still sent";
}

TEST(CliEndToEnd, MalformedSettingsFileSendsNothing) {
  SimProcess sim;
  std::string bad = kSettings;
  bad.replace(bad.find("dial3=0"), 7, "dial3=x");
  CliRun run = Cli({"--port", sim.SlavePath(), "write", "-"}, bad);
  EXPECT_EQ(run.code, kExitUsage);
  EXPECT_NE(run.err.find("line 14:"), std::string::npos) << run.err;
  EXPECT_TRUE(sim.ReceivedCommands().empty());

  run = Cli({"--port", sim.SlavePath(), "write", "/no/such/file"});
  EXPECT_EQ(run.code, kExitUsage);
  EXPECT_TRUE(sim.ReceivedCommands().empty());
}

TEST(CliEndToEnd, PresentedKeyIsShownInDisplayOrder) {
  SimProcess sim({"--present", "0102030405060708"});
  CliRun run = Cli({"--port", sim.SlavePath(), "read-key"});
  EXPECT_EQ(run.code, kExitOk) << run.err;
  EXPECT_EQ(run.out, "0807060504030201\n");
  EXPECT_EQ(sim.ReceivedCommands(), std::vector<std::string>{"+T00"});
}

TEST(CliEndToEnd, ScanTriesTheGivenPortThenTheListAndStopsAtThePanel) {
  SimProcess sim;
  SetPortMapLookup([&](const std::string& name) -> std::optional<std::string> {
    if (name == "COM3") return sim.SlavePath();
    if (name.rfind("COM", 0) == 0) return "/no/such/" + name;
    return std::nullopt;
  });
  CliRun run = Cli({"--port", "COM7", "scan"});
  SetPortMapLookup(nullptr);
  EXPECT_EQ(run.code, kExitOk) << run.err;
  EXPECT_EQ(run.out, "found on COM3\n");
  EXPECT_EQ(sim.ReceivedCommands(), std::vector<std::string>{"+T01"});
}

TEST(CliEndToEnd, BadArgumentsAreRefusedWithUsage) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"frobnicate"}, {"write"}, {"read", "extra"}, {"--bogus", "probe"}}) {
    CliRun run = Cli(args);
    EXPECT_EQ(run.code, kExitUsage);
    EXPECT_NE(run.err.find("usage:"), std::string::npos);
  }
}

}  // namespace
