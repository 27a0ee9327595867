// The tool on an installer's bench: the presented key, a panel compared with
// a file, one panel after another, and outputs that cannot take the result.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "cli_run.h"
#include "fakes/fake_sysfs.h"
#include "fakes/sim_process.h"
#include "tools/cli/cli.h"

namespace {

using orvex_test::Cli;
using orvex_test::CliRun;
using orvex_test::kSettings;
using orvex_test::SimProcess;
using orvex_test::TempDir;

TEST(CliBench, PresentedKeyIsShownOnlyWhenItHasAKeysShape) {
  SimProcess good({"--present", "0102030405060708"});
  CliRun run = Cli({"--port", good.SlavePath(), "read-key"});
  EXPECT_EQ(run.code, kExitOk) << run.err;
  EXPECT_EQ(run.out, "0807060504030201\n");
  EXPECT_EQ(good.ReceivedCommands(), (std::vector<std::string>{"+T01", "+T00"}));

  const struct {
    std::vector<std::string> misbehaviour;
    std::string words;
  } cases[] = {
      {{"--answer-as", "+T00:+H05"},
       "the presented key (+T00) on PORT got a reply that is not a key"},
      {{"--bad-hex", "--match", "+T00"},
       "the presented key (+T00) on PORT got a reply that is not a key"},
      {{"--twice", "+T00:130"}, "the presented key (+T00) on PORT was answered twice"},
      {{"--present", "none", "--reader-wait", "200"},
       "no key was presented to the reader on PORT within 5 s (the panel answered "
       "\"ERROR\\r\\n\")"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.misbehaviour[0]);
    std::vector<std::string> args = c.misbehaviour;
    if (args[0] != "--present") args.insert(args.end(), {"--present", "0102030405060708"});
    SimProcess sim(args);
    run = Cli({"--port", sim.SlavePath(), "read-key"});
    EXPECT_EQ(run.code, kExitNotAccepted);
    EXPECT_EQ(run.out, "");
    std::string words = c.words;
    words.replace(words.find("PORT"), 4, sim.SlavePath());
    EXPECT_NE(run.err.find(words), std::string::npos) << run.err;
  }
}

TEST(CliBench, DiffNamesEachFieldThatDiffersWithBothValuesAndWritesNothing) {
  SimProcess sim;
  CliRun run = Cli({"--port", sim.SlavePath(), "write", "-"}, kSettings);
  ASSERT_EQ(run.code, kExitOk) << run.err;
  const size_t sent = sim.ReceivedCommands().size();

  run = Cli({"--port", sim.SlavePath(), "diff", "-"}, kSettings);
  EXPECT_EQ(run.code, kExitOk) << run.err;
  std::string other = kSettings;
  other.replace(other.find("number2=112"), 11, "number2=113");
  other.replace(other.find("day6=0"), 6, "day6=1");
  run = Cli({"--port", sim.SlavePath(), "--fast", "diff", "-"}, other);
  EXPECT_EQ(run.code, kExitDiffers);
  EXPECT_EQ(run.err, "orvex-gsm-cli: the panel on " + sim.SlavePath() +
                         " differs in number2, day6\n"
                         "orvex-gsm-cli:   number2: file \"113\", panel \"112\"\n"
                         "orvex-gsm-cli:   day6: file \"1\", panel \"0\"\n");
  const auto commands = sim.ReceivedCommands();
  for (size_t i = sent; i < commands.size(); ++i) EXPECT_LE(commands[i].size(), 4u) << "reads only";
  EXPECT_EQ(sim.ReceivedCommands().size(), sent + 24) << "two probes and two reads";
}

// The bench loop: a panel on an adapter that is unplugged with it, and then
// the next one on the same name (the link pointed at a new terminal).
TEST(CliBench, RepeatWritesEachPanelThatComesAndCountsThemAtCtrlC) {
  TempDir dir;
  const std::string link = dir.File("ttyPanel");
  std::ofstream(dir.File("gate.txt")) << kSettings;
  CliRun run{};
  std::thread loop([&] {
    run = Cli({"--fast", "--port", link, "write", dir.File("gate.txt"), "--repeat"});
  });
  for (int panel = 0; panel < 2; ++panel) {
    SimProcess sim({"--link", link});
    EXPECT_TRUE(sim.WaitForCommands(1 + 11 + 11 + 1, 15000)) << "written, read back, probed again";
    EXPECT_EQ(sim.ReceivedCommands().at(8), "+T01EFCDAB8967452301");
    sim.Stop();
    // Unplugged: the port is missing for a while (two probes a second apart).
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  }
  // Both panels gone: the loop waits on a missing port until Ctrl-C.
  kill(getpid(), SIGINT);
  loop.join();
  EXPECT_EQ(run.code, kExitOk) << run.err;
  std::istringstream lines(run.out);
  std::string line;
  for (const char* number : {"1  ", "2  "}) {
    ASSERT_TRUE(std::getline(lines, line)) << run.out;
    EXPECT_TRUE(line.starts_with(number) && line.ends_with("  verified")) << line;
  }
  EXPECT_FALSE(std::getline(lines, line)) << run.out;
  EXPECT_TRUE(run.err.ends_with("orvex-gsm-cli: panels written: 2, verified: 2, failed: 0\n"))
      << run.err;
}

// Ctrl-C in the middle of a write: the command on the line is finished,
// nothing more is sent, and the tool says what the panel confirmed and how
// to finish the job.
TEST(CliBench, AnInterruptedWriteSaysWhatThePanelHolds) {
  TempDir dir;
  std::ofstream(dir.File("gate.txt")) << kSettings;
  SimProcess sim;
  CliRun run{};
  std::thread write([&] { run = Cli({"--port", sim.SlavePath(), "write", dir.File("gate.txt")}); });
  // The probe and two writes have gone out: the handler is in place.
  EXPECT_TRUE(sim.WaitForCommands(3, 15000));
  kill(getpid(), SIGINT);
  write.join();
  EXPECT_EQ(run.code, kExitInterrupted) << run.err;
  EXPECT_LT(sim.ReceivedCommands().size(), 12u) << "nothing more was sent, nothing read back";
  for (const char* words : {"interrupted: nothing more was sent", "confirmed by the panel: ",
                            "(not sent)", "to finish the job, run again: orvex-gsm-cli -p "})
    EXPECT_NE(run.err.find(words), std::string::npos) << words << "\n" << run.err;
}

TEST(CliBench, ResultsThatCannotBeDeliveredAreNoSuccess) {
  SimProcess sim({"--present", "0102030405060708"});
  TempDir sysfs;
  FakeSysfs tree(sysfs.path());
  tree.AddUsbSerial("ttyUSB0", {"1-1", "0403", "6001", "FTDI", "FT232R", "A1", "ftdi_sio", ""});
  ::setenv("ORVEX_GSM_SYSFS_ROOT", sysfs.path().c_str(), 1);
  for (const char* command : {"read-key", "ports"}) {
    std::ofstream full("/dev/full");
    std::istringstream in;
    std::ostringstream err;
    EXPECT_EQ(RunCli({"--port", sim.SlavePath(), command}, in, full, err), kExitCannotWrite)
        << command;
    EXPECT_NE(err.str().find("cannot write to standard output"), std::string::npos) << err.str();
  }
  ::unsetenv("ORVEX_GSM_SYSFS_ROOT");
  // With standard output closed, the port must not become descriptor 1: the
  // backup would be written to the panel. The backup is lost, so no success.
  SimProcess panel;
  const std::string shell =
      std::string(ORVEX_GSM_CLI_PATH) + " --port " + panel.SlavePath() + " read >&- 2>/dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(shell.c_str())), kExitCannotWrite);
  EXPECT_EQ(panel.ReceivedCommands().size(), 12u) << "the probe and the reads, nothing else";
}

}  // namespace
