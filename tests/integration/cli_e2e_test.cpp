// The command-line tool against the panel simulator over a real
// pseudo-terminal: what the installer sees and what the panel receives.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "cli_run.h"
#include "fakes/fake_sysfs.h"
#include "fakes/sim_process.h"
#include "panel/settings_file.h"
#include "serial/comm_device.h"
#include "tools/cli/cli.h"

namespace {

using orvex_test::Body;
using orvex_test::Cli;
using orvex_test::CliRun;
using orvex_test::kSettings;
using orvex_test::ReadSimState;
using orvex_test::SimProcess;
using orvex_test::TempDir;
using orvex_test::WriteSimState;

TEST(CliEndToEnd, ProbeSaysWhetherThePanelAnswersOrThePortCannotBeOpened) {
  SimProcess sim;
  CliRun run = Cli({"--port", sim.SlavePath(), "probe"});
  EXPECT_EQ(run.code, kExitOk);
  EXPECT_EQ(run.out, "found on " + sim.SlavePath() + "\n");
  EXPECT_EQ(sim.ReceivedCommands(), std::vector<std::string>{"+T01"});

  run = Cli({"--port=/dev/null-no-such-port", "probe"});
  EXPECT_EQ(run.code, kExitCannotOpen);
  EXPECT_NE(run.err.find("cannot open /dev/null-no-such-port"), std::string::npos) << run.err;

  SimProcess mute({"--silent"});
  run = Cli({"-p", mute.SlavePath(), "probe"});
  EXPECT_EQ(run.code, kExitNoAnswer);
  EXPECT_TRUE(run.err.starts_with("orvex-gsm-cli: no answer from the panel on " + mute.SlavePath() +
                                  "\norvex-gsm-cli: check that the panel is powered"))
      << run.err;
  EXPECT_NE(run.err.find("orvex-gsm-cli scan"), std::string::npos) << "the next step";
}

TEST(CliEndToEnd, WriteSendsTheFileExactlyAndVerifiesIt) {
  SimProcess sim;
  TempDir dir;
  const std::string file = dir.File("gate.txt");
  std::ofstream(file) << kSettings;

  CliRun run = Cli({"--port", sim.SlavePath(), "write", file});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  EXPECT_EQ(run.err, "orvex-gsm-cli: wrote " + file + " to the panel on " + sim.SlavePath() +
                         " and read it back: the same\n");
  const std::vector<std::string> sent = sim.ReceivedCommands();
  ASSERT_EQ(sent.size(), 1u + 11u + 11u) << "probe, the write, the read-back";
  // The flags, the numbers, then the keys (the shortest budget last).
  EXPECT_EQ(sent[1], "+s2B12");
  EXPECT_EQ(sent[2], "+H012B373931363132333435363700000000");
  EXPECT_EQ(sent[4], "+H0300000000000000000000000000000000");
  EXPECT_EQ(sent[5], "+H043839002A000000000000000000000000")
      << "a number is written as held, whatever its dial flag";
  EXPECT_EQ(sent[8], "+T01EFCDAB8967452301") << "keys go out in panel order";
  EXPECT_EQ(sent[10], "+T03A500000000000000");

  run = Cli({"--port", sim.SlavePath(), "-q", "write", file});
  EXPECT_EQ(run.code, kExitOk);
  EXPECT_EQ(run.err, "") << "-q silences the line";

  run = Cli({"--port", sim.SlavePath(), "read"});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  EXPECT_EQ(Body(run.out), Body(FormatSettingsFile(ParseSettingsFile(kSettings))));
  EXPECT_NE(run.out.find("# port: " + sim.SlavePath() + "\n"), std::string::npos) << run.out;
}

// A backup written back puts the panel into the very state it was read in,
// whatever that state is; written to another panel, it makes a copy. All of
// it over the fast link, which must lose nothing.
TEST(CliEndToEnd, RandomPanelsRoundTripThroughABackup) {
  const char* env = std::getenv("ORVEX_ROUNDTRIP_CYCLES");
  const int cycles = env != nullptr ? std::atoi(env) : 3;
  std::mt19937 random(20261207u);
  auto hex = [&](size_t digits, const std::string& alphabet) {
    std::string text;
    for (size_t i = 0; i < digits; ++i) text += alphabet[random() % alphabet.size()];
    return text;
  };
  auto number = [&]() -> std::string {
    switch (random() % 5) {
      case 0:
        return std::string(32, '0');  // no number
      case 1: {                       // a dialable number, up to 16 characters
        std::string codes;
        const size_t length = 1 + random() % 16;
        for (size_t i = 0; i < length; ++i)
          codes += (random() % 11 == 0) ? "2B" : "3" + hex(1, "0123456789");
        return codes + std::string(32 - codes.size(), '0');
      }
      case 2:
        return "00" + hex(30, "0123456789ABCDEF");  // present but empty, then codes
      default:
        return hex(32, "0123456789ABCDEF");  // anything
    }
  };
  int differences = 0;
  for (int cycle = 0; cycle < cycles; ++cycle) {
    TempDir dir;
    std::map<std::string, std::string> state;
    for (int k = 1; k <= 4; ++k) state["key" + std::to_string(k)] = hex(16, "0123456789ABCDEF");
    state["dial"] = hex(1, "0123") + hex(1, "0123456789ABCDEF");
    state["h24"] = hex(1, "0123") + hex(1, "0123456789ABCDEF");
    for (int n = 1; n <= 6; ++n) state["number" + std::to_string(n)] = number();
    WriteSimState(dir.File("panel.state"), state);
    SimProcess panel({"--state", dir.File("panel.state")});
    SimProcess blank({"--state", dir.File("blank.state")});

    const CliRun backup = Cli({"--fast", "--port", panel.SlavePath(), "read", "--verify"});
    ASSERT_EQ(backup.code, kExitOk) << backup.err;
    const CliRun restore = Cli({"--fast", "--port", panel.SlavePath(), "write", "-"}, backup.out);
    ASSERT_EQ(restore.code, kExitOk) << restore.err;
    const CliRun copy = Cli({"--fast", "--port", blank.SlavePath(), "write", "-"}, backup.out);
    ASSERT_EQ(copy.code, kExitOk) << copy.err;
    const CliRun again = Cli({"--fast", "--port", blank.SlavePath(), "read"});
    ASSERT_EQ(again.code, kExitOk) << again.err;
    differences += Body(again.out) != Body(backup.out);
    EXPECT_EQ(Body(again.out), Body(backup.out));
    // A panel's state file follows its answers: whole once it has ended.
    EXPECT_EQ(panel.Stop(), 0);
    EXPECT_EQ(blank.Stop(), 0);
    EXPECT_EQ(ReadSimState(dir.File("panel.state")), state) << "the panel's memory is unchanged";
    EXPECT_EQ(ReadSimState(dir.File("blank.state")), state) << "the copy holds the same";
  }
  RecordProperty("cycles", cycles);
  RecordProperty("differences", differences);
}

TEST(CliEndToEnd, UnacceptedCommandsAreNamedAndFailTheWrite) {
  SimProcess sim({"--silent-on", "+H03", "--silent-on", "+T02"});
  CliRun run = Cli({"--port", sim.SlavePath(), "write", "-"}, kSettings);
  EXPECT_EQ(run.code, kExitNotAccepted);
  EXPECT_EQ(run.err, "orvex-gsm-cli: the panel on " + sim.SlavePath() +
                         " stopped answering at number3 (+H03): nothing more was sent\n"
                         "orvex-gsm-cli: the panel may hold a write half done: write the file "
                         "again\n");
  EXPECT_EQ(sim.ReceivedCommands().size(), 5u)
      << "the probe, the flags, number 1, number 2, and number 3 left unanswered";

  SimProcess lost({"--hangup-mid", "+H03"});  // the line lost at the write of number3
  run = Cli({"--port", lost.SlavePath(), "write", "-"}, kSettings);
  EXPECT_EQ(run.code, kExitNotAccepted);
  EXPECT_TRUE(run.err.starts_with("orvex-gsm-cli: the line to " + lost.SlavePath() +
                                  " was lost during number"))
      << run.err;
  EXPECT_TRUE(run.err.ends_with(
      "(Input/output error)\norvex-gsm-cli: the panel may hold a write half done: write the "
      "file again\n"))
      << run.err;

  // Lost while reading back: the probe and the 11 writes went through.
  SimProcess unverified({"--hangup-after", "14"});
  run = Cli({"--port", unverified.SlavePath(), "write", "-"}, kSettings);
  EXPECT_EQ(run.code, kExitNotAccepted);
  EXPECT_TRUE(run.err.ends_with("write the file again\n")) << run.err;
}

// A panel that refuses one write in the middle: the installer learns what
// came and in which fields the panel now differs from the file.
TEST(CliEndToEnd, AWriteRefusedInTheMiddleSaysWhatCameAndWhereThePanelNowDiffers) {
  SimProcess sim({"--error-on", "+H02313132"});  // the write of number2=112
  CliRun run = Cli({"--port", sim.SlavePath(), "write", "-"}, kSettings);
  EXPECT_EQ(run.code, kExitNotAccepted);
  const std::string port = sim.SlavePath();
  EXPECT_EQ(run.err, "orvex-gsm-cli: not accepted by the panel on " + port +
                         ": number2 (+H02)\n"
                         "orvex-gsm-cli: the panel on " +
                         port +
                         " refused number2 (+H02): \"ERROR\\r\\n\"\n"
                         "orvex-gsm-cli: the panel read back on " +
                         port +
                         " differs in number2\n"
                         "orvex-gsm-cli:   number2: file \"112\", panel \"\"\n");
}

TEST(CliEndToEnd, AReplyOfTheWrongShapeFailsTheReadAndPrintsNothing) {
  SimProcess sim({"--bad-hex", "--match", "+H05"});
  CliRun run = Cli({"--port", sim.SlavePath(), "read"});
  EXPECT_EQ(run.code, kExitNotAccepted);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(
      run.err.find("number5 (+H05) on " + sim.SlavePath() + " got a reply that is not a number"),
      std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("ZZ\\r\\nOK\\r\\n\""), std::string::npos) << "what came is shown";
}

// A panel that answers late, twice, with another command's answer, with
// "ERROR", a byte every 90 ms, or loses its line mid-answer: the backup names
// the command and holds nothing, over the slices and over the fast link alike.
TEST(CliEndToEnd, AnswersThatCannotBeTrustedFailTheReadAndPrintNothing) {
  const struct {
    std::vector<std::string> misbehaviour;
    std::string words;
  } cases[] = {
      {{"--twice", "+T02"}, "key2 (+T02) on PORT was answered twice"},
      {{"--twice", "+T02:150"}, "(or key2 (+T02)'s answer, which is the same, came twice)"},
      {{"--twice", "+H06:130"},
       "number6 (+H06)'s answer came twice on PORT, the second time with key1 (+T01)"},
      {{"--late", "+T02:350"}, "key2 (+T02) on PORT was not answered"},
      {{"--answer-as", "+H02:+s"}, "number2 (+H02) on PORT got a reply that is not a number"},
      {{"--error-on", "+H03"},
       "the panel on PORT refused number3 (+H03): \"ERROR\\r\\n\"\norvex-gsm-cli: nothing was "
       "read: the "
       "panel refused the command"},
      {{"--pieces", "40", "--piece-gap", "90", "--match", "+H01"}, "number1 (+H01) on PORT"},
      {{"--hangup-mid", "+H03"},
       "the line to PORT was lost during number3 (+H03) (Input/output error)\n"
       "orvex-gsm-cli: nothing was written: check the cable and the adapter, then read again"},
  };
  for (const bool fast : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE((fast ? "--fast " : "") + c.misbehaviour[0] + " " + c.misbehaviour[1]);
      SimProcess sim(c.misbehaviour);
      std::vector<std::string> args = {"--port", sim.SlavePath(), "read"};
      if (fast) args.insert(args.begin(), "--fast");
      const CliRun run = Cli(args);
      EXPECT_EQ(run.code, kExitNotAccepted);
      EXPECT_EQ(run.out, "");
      std::string words = c.words;
      if (const size_t at = words.find("PORT"); at != std::string::npos)
        words.replace(at, 4, sim.SlavePath());
      EXPECT_NE(run.err.find(words), std::string::npos) << run.err;
      EXPECT_EQ(run.err.find("Win32"), std::string::npos) << run.err;
    }
  }
}

// The fast link ends an exchange at its answer: a copy 50 ms behind the
// answer to +T02, which the slice would have held with it, now arrives while
// later commands are under way, and is still never taken for their answer.
TEST(CliEndToEnd, TheFastLinkEndsAtTheAnswerAndStillCatchesARepeatedOne) {
  SimProcess slow({"--twice", "+T02:50"});
  CliRun run = Cli({"--port", slow.SlavePath(), "read"});
  EXPECT_EQ(run.code, kExitNotAccepted);
  EXPECT_NE(run.err.find("key2 (+T02) on " + slow.SlavePath() + " was answered twice"),
            std::string::npos)
      << run.err;

  SimProcess fast({"--twice", "+T02:50"});
  run = Cli({"--fast", "--port", fast.SlavePath(), "read"});
  EXPECT_EQ(run.code, kExitNotAccepted);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.find("(+T02) on"), std::string::npos) << "+T02 ended before the copy came";
}

TEST(CliEndToEnd, AWriteConfirmedWithAnotherCommandsAnswerIsRefusedWithOrWithoutReadBack) {
  // The panel answers the write of number 1 with another command's answer
  // and keeps nothing: no confirmation, whether the panel is read back or not.
  SimProcess sim({"--answer-as", "+H012B:+H05"});
  CliRun run = Cli({"--port", sim.SlavePath(), "write", "-"}, kSettings);
  EXPECT_EQ(run.code, kExitNotAccepted);
  EXPECT_EQ(run.err, "orvex-gsm-cli: not accepted by the panel on " + sim.SlavePath() +
                         ": number1 (+H01)\n"
                         "orvex-gsm-cli: number1 (+H01) was answered "
                         "\">0500000000000000000000000000000000\\r\\nOK\\r\\n\"\n"
                         "orvex-gsm-cli: the panel read back on " +
                         sim.SlavePath() +
                         " differs in number1\n"
                         "orvex-gsm-cli:   number1: file \"+79161234567\", panel \"\"\n");
  run = Cli({"--port", sim.SlavePath(), "--no-verify", "write", "-"}, kSettings);
  EXPECT_EQ(run.code, kExitNotAccepted) << run.err;
  EXPECT_TRUE(run.err.starts_with("orvex-gsm-cli: not accepted by the panel on " + sim.SlavePath() +
                                  ": number1 (+H01)\n"))
      << run.err;
}

TEST(CliEndToEnd, AFileThatIsNoSettingsFileSendsNothing) {
  SimProcess sim;
  TempDir dir;
  std::string bad = kSettings;
  bad.replace(bad.find("dial3=0"), 7, "dial3=x");
  std::string junk = kSettings;  // bytes no terminal should get raw
  junk.replace(junk.find("dial3=0"), 7, std::string("dial3=\x01\0\xFF", 9));
  std::ofstream(dir.File("huge.txt")) << std::string(2 * 1024 * 1024, '#');
  // The window's settings store, and its Windows cousin (a registry export in
  // UTF-16), taken for a panel's settings file.
  const std::string store =
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Ports]\n\"COM5\"=\"/dev/ttyUSB0\"\n";
  std::string exported = "\xFF\xFE";
  for (char c : std::string("Windows Registry Editor Version 5.00\r\n")) exported += {c, '\0'};
  const std::string storeWords =
      " is the window's settings store, not a settings file of a panel: nothing was sent\n"
      "orvex-gsm-cli: a panel's settings file is made by reading the panel: orvex-gsm-cli read "
      "-o FILE\n";
  const struct {
    std::vector<std::string> args;
    std::string input;
    std::string words;
  } cases[] = {
      {{"write", "-"}, bad, "standard input: line 14: dial3 must be 0 or 1"},
      {{"write", "/no/such/file"}, "", "cannot read /no/such/file: No such file"},
      {{"write", dir.path()}, "", "is a directory"},
      {{"write", dir.File("huge.txt")}, "", "larger than 1 MiB"},
      {{"write", "-"}, junk, "dial3 must be 0 or 1, is \"\\x01\\x00\\xFF\""},
      {{"write", "-"}, store, "standard input" + storeWords},
      {{"diff", "-"}, exported, "standard input" + storeWords},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"--port", sim.SlavePath()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    CliRun run = Cli(args, c.input);
    EXPECT_EQ(run.code, kExitUsage);
    EXPECT_NE(run.err.find(c.words), std::string::npos) << run.err;
  }
  EXPECT_TRUE(sim.ReceivedCommands().empty());
}

TEST(CliEndToEnd, OutputsThatCannotBeWrittenFailBeforeOrAfterTheReadAsTheyMust) {
  SimProcess sim;
  TempDir dir;
  // A log that cannot be written (a folder, a link to a full device) stops
  // the command before anything is sent.
  const std::string cwd = std::filesystem::current_path();
  std::filesystem::create_directory(dir.File("busy"));
  std::filesystem::create_directory(dir.File("busy/log.txt"));
  std::filesystem::create_directory(dir.File("full"));
  std::filesystem::create_symlink("/dev/full", dir.File("full/log.txt"));
  CliRun run;
  for (const char* folder : {"busy", "full"}) {
    std::filesystem::current_path(dir.File(folder));
    run = Cli({"--port", sim.SlavePath(), "--debug", "write", "-"}, kSettings);
    std::filesystem::current_path(cwd);
    EXPECT_EQ(run.code, kExitCannotWrite) << folder;
    EXPECT_NE(run.err.find("cannot write log.txt"), std::string::npos) << run.err;
  }
  EXPECT_TRUE(sim.ReceivedCommands().empty());

  run = Cli({"--port", sim.SlavePath(), "read", "-o", dir.File("no/such/dir/panel.txt")});
  EXPECT_EQ(run.code, kExitCannotWrite);
  EXPECT_NE(run.err.find("cannot write " + dir.File("no/such/dir/panel.txt")), std::string::npos);

  run = Cli({"--port", sim.SlavePath(), "read", "--output=" + dir.File("panel.txt")});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  EXPECT_EQ(run.out, "");
  std::ifstream saved(dir.File("panel.txt"));
  EXPECT_EQ(
      Body(std::string(std::istreambuf_iterator<char>(saved), {})),
      Body(FormatSettingsFile(PanelImage{
          {std::string(16, '0'), std::string(16, '0'), std::string(16, '0'), std::string(16, '0')},
          0,
          0,
          {std::string(32, '0'), std::string(32, '0'), std::string(32, '0'), std::string(32, '0'),
           std::string(32, '0'), std::string(32, '0')}})));
  EXPECT_FALSE(std::filesystem::exists(dir.File("panel.txt.tmp")));
}

TEST(CliEndToEnd, ScanTriesTheGivenPortThenTheListAndPrintsOnlyThePort) {
  SimProcess sim;
  SetPortMapLookup([&](const std::string& name) -> std::optional<std::string> {
    if (name == "COM3") return sim.SlavePath();
    if (name.rfind("COM", 0) == 0) return "/no/such/" + name;
    return std::nullopt;
  });
  ::setenv("ORVEX_GSM_PORT", "COM7", 1);
  CliRun run = Cli({"scan"});
  ::unsetenv("ORVEX_GSM_PORT");
  SetPortMapLookup(nullptr);
  EXPECT_EQ(run.code, kExitOk) << run.err;
  EXPECT_EQ(run.out, "COM3\n");
  EXPECT_EQ(sim.ReceivedCommands(), std::vector<std::string>{"+T01"});
}

TEST(CliEndToEnd, ScanReachesAUsbAdapterWithNoSetUp) {
  SimProcess sim;
  TempDir dir;
  FakeSysfs tree(dir.path());
  tree.AddUsbSerial("ttyUSB0", {"1-1", "0403", "6001", "FTDI", "FT232R", "A1", "ftdi_sio", ""});
  tree.LinkDevice("ttyUSB0", sim.SlavePath());
  SetPortMapLookup(
      [](const std::string& name) -> std::optional<std::string> { return "/no/such/" + name; });
  ::setenv("ORVEX_GSM_SYSFS_ROOT", dir.path().c_str(), 1);
  CliRun run = Cli({"--port", "COM2", "scan"});
  ::unsetenv("ORVEX_GSM_SYSFS_ROOT");
  SetPortMapLookup(nullptr);
  EXPECT_EQ(run.code, kExitOk) << run.err;
  EXPECT_EQ(run.out, tree.Device("ttyUSB0") + "\n");
}

TEST(CliEndToEnd, BadArgumentsAreNamed) {
  const struct {
    std::vector<std::string> args;
    std::string words;
  } cases[] = {
      {{}, "no command given"},
      {{"frobnicate"}, "unknown command \"frobnicate\""},
      {{"write"}, "write needs a FILE"},
      {{"read", "extra"}, "unexpected argument \"extra\" after read"},
      {{"--bogus", "probe"}, "unknown option --bogus"},
      {{"probe", "--port"}, "option --port needs a value"},
      {{"probe", "-p"}, "option --port needs a value"},
      {{"write", "-", "--verify"}, "--verify is for read and diff only"},
  };
  for (const auto& c : cases) {
    CliRun run = Cli(c.args);
    EXPECT_EQ(run.code, kExitUsage);
    EXPECT_NE(run.err.find(c.words), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("--help"), std::string::npos);
  }
  CliRun run = Cli({"--version"});
  EXPECT_EQ(run.out, std::string("orvex-gsm-cli ") + ORVEX_VERSION + "\n");
  run = Cli({"-h"});
  EXPECT_NE(run.out.find("6  the panel read back differs"), std::string::npos);
}

}  // namespace
