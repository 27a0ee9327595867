// The simulator as a process: its terminal, link, signals, state file,
// command line, and staying well-behaved under abuse.
#ifdef ORVEX_GSM_SIM_PATH

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fakes/sim_process.h"

extern char** environ;

namespace orvex_test {
namespace {

const std::string kKey1Answer = ">0000000000000000\r\nOK\r\n";

struct RunResult {
  int status = -1;
  std::string output;  // standard output and error together
};

RunResult RunSim(const std::string& args) {
  RunResult result;
  std::string command = std::string(ORVEX_GSM_SIM_PATH) + " " + args + " </dev/null 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// Kilobytes of resident memory, or -1 where /proc is missing.
long ResidentKb(int pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

TEST(SimLifecycle, EndsCleanlyOnSignalAndRemovesItsLink) {
  for (int sig : {SIGTERM, SIGINT}) {
    TempDir dir;
    const std::string link = dir.File("ttyORVEX");
    SimProcess sim({"--link", link});
    ASSERT_EQ(std::filesystem::read_symlink(link), sim.SlavePath());
    PtyClient line(link);
    EXPECT_EQ(line.Exchange("+T01"), kKey1Answer);
    sim.Signal(sig);
    EXPECT_EQ(sim.WaitForExit(5000), 0) << sig;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link))) << sig;
  }
}

TEST(SimLifecycle, EndsWhenItsInputEnds) {
  SimProcess sim;
  EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimLifecycle, ReplacesAStaleLinkButNeverAFile) {
  TempDir dir;
  const std::string stale = dir.File("stale");
  std::filesystem::create_symlink("/nonexistent/pts/99", stale);
  {
    SimProcess sim({"--link", stale});
    EXPECT_EQ(std::filesystem::read_symlink(stale), sim.SlavePath());
  }
  const std::string file = dir.File("file");
  std::ofstream(file) << "keep me";
  RunResult run = RunSim("--link " + file);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find(file), std::string::npos) << run.output;
  EXPECT_EQ(ReadFileBytes(file), "keep me");
}

TEST(SimLifecycle, ServesAClientThatOpensAndClosesTheLineRepeatedly) {
  SimProcess sim;
  for (int i = 0; i < 5; ++i) {
    PtyClient line(sim.SlavePath());
    EXPECT_EQ(line.Exchange("+T01"), kKey1Answer) << "opening " << i + 1;
  }
  EXPECT_EQ(sim.WaitForExit(0), std::nullopt);
}

TEST(SimLifecycle, LeavesTheClientsLineSettingsAlone) {
  SimProcess sim;
  termios chosen{};
  {
    PtyClient line(sim.SlavePath());
    ASSERT_EQ(tcgetattr(line.fd(), &chosen), 0);
    cfsetispeed(&chosen, B9600);
    cfsetospeed(&chosen, B9600);
    ASSERT_EQ(tcsetattr(line.fd(), TCSANOW, &chosen), 0);
    ASSERT_EQ(tcgetattr(line.fd(), &chosen), 0);
    EXPECT_EQ(line.Exchange("+T01"), kKey1Answer);
    termios after{};
    ASSERT_EQ(tcgetattr(line.fd(), &after), 0);
    EXPECT_EQ(cfgetospeed(&after), B9600);
    EXPECT_EQ(after.c_lflag, chosen.c_lflag);
    EXPECT_EQ(after.c_iflag, chosen.c_iflag);
    EXPECT_EQ(after.c_oflag, chosen.c_oflag);
  }
  // A second opening finds the settings the client left, not the simulator's.
  int fd = open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  termios reopened{};
  ASSERT_EQ(tcgetattr(fd, &reopened), 0);
  close(fd);
  EXPECT_EQ(cfgetospeed(&reopened), B9600);
  EXPECT_EQ(reopened.c_lflag & (ECHO | ICANON), 0u);
}

// Every change answered is in the file once the simulator has ended, however
// it was asked to end, right after the last answer.
TEST(SimLifecycle, StateFileKeepsSettingsAcrossRestarts) {
  const std::string number = "2B37393132" + std::string(22, '0');
  for (const int ending : {0, SIGTERM, SIGINT}) {
    SCOPED_TRACE(ending == 0 ? "standard input closed" : strsignal(ending));
    TempDir dir;
    const std::string state = dir.File("panel.state");
    {
      SimProcess sim({"--state", state});
      PtyClient line(sim.SlavePath());
      ASSERT_EQ(line.Exchange("+T02FEDCBA9876543210"), "OK\r\n");
      ASSERT_EQ(line.Exchange("+s2A15"), "OK\r\n");
      ASSERT_EQ(line.Exchange("+H05" + number), "OK\r\n");
      if (ending != 0) {
        sim.Signal(ending);
        EXPECT_EQ(sim.WaitForExit(10000), std::optional<int>(0));
      }
    }
    std::map<std::string, std::string> saved = ReadSimState(state);
    EXPECT_EQ(saved["key2"], "FEDCBA9876543210");
    EXPECT_EQ(saved["dial"], "2A");
    EXPECT_EQ(saved["h24"], "15");
    EXPECT_EQ(saved["number5"], number);

    SimProcess again({"--state", state});
    PtyClient line(again.SlavePath());
    EXPECT_EQ(line.Exchange("+T02"), ">FEDCBA9876543210\r\nOK\r\n");
    EXPECT_EQ(line.Exchange("+s"), ">2A15\r\nOK\r\n");
    EXPECT_EQ(line.Exchange("+H05"), ">05" + number + "\r\nOK\r\n");
    EXPECT_EQ(again.Stderr(), "");
  }
}

// A disk that holds a save up does not hold up the answer: here the save's
// temporary file is a pipe that nobody reads until the answer is in.
TEST(SimLifecycle, AChangeIsAnsweredWhileTheDiskHoldsItsSaveUp) {
  TempDir dir;
  const std::string state = dir.File("panel.state");
  WriteSimState(state, {{"key1", "0123456789ABCDEF"}});
  const std::string temporary = state + ".tmp";
  ASSERT_EQ(mkfifo(temporary.c_str(), 0600), 0);
  SimProcess sim({"--state", state});
  PtyClient line(sim.SlavePath());
  EXPECT_EQ(line.Exchange("+T02FEDCBA9876543210"), "OK\r\n") << "no answer while the save waits";
  EXPECT_EQ(line.Exchange("+T02"), ">FEDCBA9876543210\r\nOK\r\n");

  // The save goes on once the disk takes it, with the change in it.
  std::ifstream held(temporary, std::ios::binary);
  std::stringstream written;
  written << held.rdbuf();
  EXPECT_NE(written.str().find("\nkey1=0123456789ABCDEF\n"), std::string::npos) << written.str();
  EXPECT_NE(written.str().find("\nkey2=FEDCBA9876543210\n"), std::string::npos) << written.str();
  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_EQ(sim.Stderr(), "");
}

TEST(SimLifecycle, MalformedStateFileIsReportedLeftAloneAndFactorySettingsUsed) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"key1=XYZ\n", "line 1"},
      {"# comment\n\nkey9=0000000000000000\n", "line 3"},
      {"key1=0123\n", "line 1"},
      {"dial=01\ndial=02\n", "line 2"},
      {"just some text", "line 1"},
      {std::string("\xff\xfe\0\x01=\n", 6), "line 1"},
      {"key1=0123456789ABCDEF\nnumber1=" + std::string(33, '0') + "\n", "line 2"},
  };
  for (const auto& [content, where] : files) {
    TempDir dir;
    const std::string state = dir.File("bad.state");
    std::ofstream(state, std::ios::binary) << content;
    SimProcess sim({"--state", state});
    PtyClient line(sim.SlavePath());
    EXPECT_EQ(line.Exchange("+T01"), kKey1Answer) << where;
    EXPECT_EQ(line.Exchange("+T020123456789ABCDEF"), "OK\r\n");
    EXPECT_NE(sim.Stderr().find(state + ": " + where), std::string::npos) << sim.Stderr();
    sim.Stop();  // every save it would make is made by now
    EXPECT_EQ(ReadFileBytes(state), content) << "the bad file was overwritten";
  }
}

TEST(SimLifecycle, MissingStateFileIsCreatedOnTheFirstChange) {
  TempDir dir;
  const std::string state = dir.File("new.state");
  SimProcess sim({"--state", state});
  PtyClient line(sim.SlavePath());
  EXPECT_EQ(line.Exchange("+T01"), kKey1Answer);
  EXPECT_FALSE(std::filesystem::exists(state));
  EXPECT_EQ(line.Exchange("+s0102"), "OK\r\n");
  sim.Stop();
  EXPECT_EQ(ReadSimState(state)["h24"], "02");
  EXPECT_EQ(sim.Stderr(), "");
}

TEST(SimLifecycle, GarbageNeitherKillsItNorMakesItGrow) {
  SimProcess sim;
  PtyClient line(sim.SlavePath());
  long before = ResidentKb(sim.Pid());
  // 4 MB without a carriage return: one endless line.
  const std::string chunk(64 * 1024, 'x');
  for (int i = 0; i < 64; ++i) ASSERT_TRUE(line.Send(chunk));
  // The terminal buffers little, so by now the simulator has taken nearly all.
  long after = ResidentKb(sim.Pid());
  if (before > 0 && after > 0) {
    EXPECT_LT(after - before, 2048) << before << " -> " << after;
  }
  EXPECT_EQ(line.Exchange(""), "ERROR\r\n");  // the endless line ends here
  EXPECT_EQ(line.Exchange("+T01"), kKey1Answer);
  // Random bytes with carriage returns among them: many bad commands.
  std::mt19937 random(12345);
  std::string noise(256 * 1024, '\0');
  for (char& c : noise) c = static_cast<char>(random() & 0xFF);
  for (size_t at = 0; at < noise.size(); at += 4096) {
    ASSERT_TRUE(line.Send(noise.substr(at, 4096)));
    line.ReadFor(5);  // keep the answers flowing
  }
  ASSERT_TRUE(line.Send("\r"));
  line.ReadFor(300);
  EXPECT_EQ(line.Exchange("+T01"), kKey1Answer);
  EXPECT_EQ(sim.WaitForExit(0), std::nullopt);
}

TEST(SimLifecycle, ReadsStandardInputOnlyWhenAskedTo) {
  // Started in the background of an interactive shell, a simulator that read
  // the terminal would be stopped; here a "quit" waiting on standard input
  // must go unread.
  TempDir dir;
  const std::string link = dir.File("ttyORVEX");
  int in[2];
  ASSERT_EQ(pipe(in), 0);
  ASSERT_EQ(write(in[1], "quit\n", 5), 5);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_addclose(&actions, in[1]);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> args = {ORVEX_GSM_SIM_PATH, "--link", link};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  ASSERT_EQ(rc, 0);
  for (int i = 0; i < 500 && !std::filesystem::exists(link); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  {
    PtyClient line(link);
    EXPECT_EQ(line.Exchange("+T01"), kKey1Answer) << "still serving";
  }
  int queued = 0;
  EXPECT_EQ(ioctl(in[1], FIONREAD, &queued), 0);
  EXPECT_EQ(queued, 5) << "standard input was read";
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  close(in[1]);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(SimLifecycle, HelpNamesEveryOption) {
  RunResult run = RunSim("--help");
  EXPECT_EQ(run.status, 0);
  for (const char* option : {"--link",    "--state",        "--log",       "--verbose",
                             "--present", "--reader-wait",  "--control",   "--exit-on-stdin-eof",
                             "--delay",   "--silent",       "--pieces",    "--piece-gap",
                             "--nul",     "--lowercase-ok", "--long",      "--bad-hex",
                             "--match",   "--silent-on",    "--error-on",  "--hangup-after",
                             "--late",    "--twice",        "--answer-as", "--hangup-mid",
                             "--version"}) {
    EXPECT_NE(run.output.find(option), std::string::npos) << option;
  }
}

TEST(SimLifecycle, VersionIsTheProgramsNameAndVersion) {
  RunResult run = RunSim("--version");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "orvex-gsm-sim " ORVEX_VERSION "\n");
}

TEST(SimLifecycle, WrongCommandLineIsRefusedWithTheOptionNamed) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"--delay abc", "--delay"},
      {"--delay -1", "--delay"},
      {"--pieces 0", "--pieces"},
      {"--present 123", "--present"},
      {"--present 0123456789ABCDEG", "--present"},
      {"--hangup-after 0", "--hangup-after"},
      {"--long=0", "--long"},
      {"--silent=1", "--silent"},
      {"--bogus", "--bogus"},
      {"--state", "--state"},
      {"--match ''", "--match"},
      {"--late +T01", "--late"},
      {"--answer-as +T01", "--answer-as"},
      {"stray", "stray"},
  };
  for (const auto& [args, named] : cases) {
    RunResult run = RunSim(args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_EQ(run.output.rfind("orvex-gsm-sim: ", 0), 0u) << args << ": " << run.output;
    EXPECT_NE(run.output.find(named), std::string::npos) << args << ": " << run.output;
  }
}

TEST(SimLifecycle, VerboseModeTellsWhatWasReceivedAndAnswered) {
  SimProcess sim({"--verbose"});
  PtyClient line(sim.SlavePath());
  EXPECT_EQ(line.Exchange("+s"), ">0000\r\nOK\r\n");
  std::string said = sim.Stderr();
  EXPECT_NE(said.find("received +s"), std::string::npos) << said;
  EXPECT_NE(said.find("answer >0000\\x0D\\x0AOK\\x0D\\x0A"), std::string::npos) << said;
  std::istringstream lines(said);
  for (std::string each; std::getline(lines, each);)
    EXPECT_EQ(each.rfind("orvex-gsm-sim: ", 0), 0u) << "every message names the program: " << each;
}

}  // namespace
}  // namespace orvex_test

#endif  // ORVEX_GSM_SIM_PATH
