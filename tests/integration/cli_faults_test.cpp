// The tool against a panel that misbehaves on two commands in a row, a panel
// that falls silent in a write, and outputs that are not plain files: never
// exit 0 with wrong data, never output reported as written when it was lost.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli_run.h"
#include "fakes/pty_pair.h"
#include "fakes/sim_process.h"
#include "serial/comm_device.h"
#include "tools/cli/cli.h"

namespace {

using orvex_test::Cli;
using orvex_test::CliRun;
using orvex_test::kSettings;
using orvex_test::SimProcess;
using orvex_test::TempDir;

std::string Slurp(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// A late copy of one answer, and a fault on the very next command: the copy
// must not be taken for that command's answer, whatever the fault. A copy of
// the same shape as the silent command's answer cannot be told from it (the
// replies do not name their slot): a write's read-back finds the mix-up.
TEST(CliFaults, ALateCopyBesideAFaultOnTheNextCommandNeverGivesARead) {
  const struct {
    std::string copied;  // the command answered twice
    std::vector<std::string> fault;
    bool write;
  } cases[] = {
      {"+H02", {"--error-on", "+H03"}, false},     {"+H02", {"--answer-as", "+H03:+T01"}, false},
      {"+H02", {"--silent-on", "+H03"}, true},     {"+T02", {"--error-on", "+T03"}, false},
      {"+T04", {"--answer-as", "+s:+T01"}, false}, {"+T04", {"--silent-on", "+s"}, false},
  };
  for (const bool fast : {false, true}) {
    for (const auto& c : cases) {
      // The copy comes once the exchange of its command has ended.
      const std::string copy = c.copied + (fast ? ":60" : ":130");
      SCOPED_TRACE((fast ? "--fast " : "") + copy + " " + c.fault[0] + " " + c.fault[1]);
      std::vector<std::string> args = {"--twice", copy};
      args.insert(args.end(), c.fault.begin(), c.fault.end());
      SimProcess sim(args);
      std::vector<std::string> cli = {"--port", sim.SlavePath(), "read"};
      if (c.write) cli = {"--port", sim.SlavePath(), "write", "-"};
      if (fast) cli.insert(cli.begin(), "--fast");
      const CliRun run = Cli(cli, kSettings);
      if (c.write)
        EXPECT_NE(run.code, kExitOk) << run.err;
      else
        EXPECT_EQ(run.code, kExitNotAccepted) << run.err;
      EXPECT_EQ(run.out, "");
    }
  }
}

// Each failure is told at the command at fault: a repeated answer as that
// command's, a refusal as the panel's, the write and its read-back apart;
// a copy kept is read in two orders, so one repeated fault cannot pass.
TEST(CliFaults, TheMessageBlamesTheCommandAtFault) {
  const struct {
    std::vector<std::string> sim;
    std::vector<std::string> cli;
    int code;
    std::vector<std::string> words;
  } rows[] = {
      {{"--twice", "+T02:120"},
       {"read"},
       kExitNotAccepted,
       {"key2 (+T02)'s answer came twice on PORT, the second time with key3 (+T03)"}},
      {{"--lowercase-ok", "--match", "+H03"},
       {"write", "-"},
       kExitNotAccepted,
       {"number3 (+H03) on PORT was answered without \"OK\": \"ok\\r\\n\"",
        "reading back: number3 (+H03) on PORT was answered without \"OK\": \">03"}},
      {{"--twice", "+H05:150", "--silent-on", "+H06"}, {"read", "--verify"}, kExitNotAccepted, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.sim[0] + " " + row.sim[1]);
    TempDir dir;
    orvex_test::WriteSimState(dir.File("state"),
                              {{"key2", "2222222222222222"},
                               {"key3", "3333333333333333"},
                               {"number3", std::string(2, '3') + std::string(30, '0')}});
    std::vector<std::string> args = {"--state", dir.File("state")};
    args.insert(args.end(), row.sim.begin(), row.sim.end());
    SimProcess sim(args);
    std::vector<std::string> cli = {"--port", sim.SlavePath()};
    cli.insert(cli.end(), row.cli.begin(), row.cli.end());
    const CliRun run = Cli(cli, kSettings);
    EXPECT_EQ(run.code, row.code) << run.err;
    EXPECT_EQ(run.out, "");
    for (std::string words : row.words) {
      if (const size_t at = words.find("PORT"); at != std::string::npos)
        words.replace(at, 4, sim.SlavePath());
      EXPECT_NE(run.err.find(words), std::string::npos) << words << "\n" << run.err;
    }
  }
}

// A copy of number5's answer, then number6's own answer late inside its
// budget (a read) or a refusal of number6 after the copy (a write without its
// read-back): the copy must not pass for number6's answer, and the write must
// name number6 as not written.
TEST(CliFaults, AnAnswerLateInsideItsBudgetIsSeenAfterTheLastCommand) {
  for (const bool fast : {false, true}) {
    SCOPED_TRACE(fast ? "--fast" : "slices");
    const std::string copyAt = fast ? "+H05:40" : "+H05:140";
    SimProcess reader({"--twice", copyAt, "--late", fast ? "+H06:250" : "+H06:150"});
    std::vector<std::string> read = {"--port", reader.SlavePath(), "read"};
    if (fast) read.insert(read.begin(), "--fast");
    CliRun run = Cli(read);
    EXPECT_EQ(run.code, kExitNotAccepted) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("(+H06)"), std::string::npos) << run.err;

    SimProcess writer(
        {"--twice", fast ? "+H05:20" : "+H05:100", "--late", "+H06:300", "--error-on", "+H06"});
    std::vector<std::string> write = {"--port", writer.SlavePath(), "--no-verify", "write", "-"};
    if (fast) write.insert(write.begin(), "--fast");
    run = Cli(write, kSettings);
    EXPECT_EQ(run.code, kExitNotAccepted) << run.err;
    EXPECT_NE(run.err.find("not accepted by the panel on " + writer.SlavePath()), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("number6 (+H06)"), std::string::npos) << run.err;
  }
}

TEST(CliFaults, FlagsOfAnotherShapeAndWritesConfirmedByAnotherReplyAreRefused) {
  SimProcess flags({"--answer-as", "+s:+T02"});
  CliRun run = Cli({"--port", flags.SlavePath(), "read"});
  EXPECT_EQ(run.code, kExitNotAccepted);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("(+s) on " + flags.SlavePath() + " got a reply that is not the flags"),
            std::string::npos)
      << run.err;

  // Every command carried out as a read of another: "OK" in each reply, but
  // no write's confirmation among them.
  SimProcess swapped(
      {"--answer-as", "+T0:+H01", "--answer-as", "+s:+H01", "--answer-as", "+H0:+T01"});
  run = Cli({"--port", swapped.SlavePath(), "--no-verify", "write", "-"}, kSettings);
  EXPECT_EQ(run.code, kExitNotAccepted);
  EXPECT_TRUE(run.err.starts_with("orvex-gsm-cli: not accepted by the panel on " +
                                  swapped.SlavePath() +
                                  ": the dial and day flags (+s), number1 (+H01), number2 (+H02), "
                                  "number3 (+H03), number4 (+H04), number5 (+H05), number6 "
                                  "(+H06), key1 (+T01), key2 (+T02), key3 (+T03), key4 (+T04)\n"
                                  "orvex-gsm-cli: the dial and day flags (+s) was answered \">"))
      << run.err;
}

TEST(CliFaults, APanelFallingSilentInAWriteStopsItAtOnce) {
  SimProcess sim({"--silent-on", "+H03"});
  const auto start = std::chrono::steady_clock::now();
  const CliRun run = Cli({"--port", sim.SlavePath(), "write", "-"}, kSettings);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(run.code, kExitNotAccepted);
  EXPECT_NE(run.err.find("stopped answering at number3 (+H03)"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("a write half done"), std::string::npos) << run.err;
  EXPECT_EQ(sim.ReceivedCommands().size(), 5u) << "the probe, the flags, +H01 to +H03";
  EXPECT_LT(took, std::chrono::seconds(8)) << "was 11.9 s with every command sent and read back";
}

TEST(CliFaults, OutputThatCannotArriveIsNoSuccess) {
  SimProcess sim({"--present", "0102030405060708"});
  for (const char* command : {"read", "read-key", "probe", "--help", "--version"}) {
    SCOPED_TRACE(command);
    const std::string shell = std::string(ORVEX_GSM_CLI_PATH) + " --port " + sim.SlavePath() + " " +
                              command + " >&- 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(shell.c_str())), kExitCannotWrite);
  }
  for (const char* option : {"--help", "--version"}) {
    std::ofstream full("/dev/full");
    std::istringstream in;
    std::ostringstream err;
    EXPECT_EQ(RunCli({option}, in, full, err), kExitCannotWrite) << option;
  }
}

TEST(CliFaults, OutputFileIsReplacedWholeThroughNoPlantedLinkAndDevicesAreWrittenInto) {
  SimProcess sim;
  TempDir dir;
  // A link planted where the old tool put its temporary file.
  std::ofstream(dir.File("victim")) << "precious";
  std::filesystem::create_symlink(dir.File("victim"), dir.File("panel.txt.tmp"));
  CliRun run = Cli({"--port", sim.SlavePath(), "read", "-o", dir.File("panel.txt")});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  EXPECT_EQ(Slurp(dir.File("victim")), "precious");
  const std::string backup = Slurp(dir.File("panel.txt"));
  EXPECT_NE(backup.find("key1="), std::string::npos);

  // A link as the target: the file it names is replaced, the link stays.
  std::ofstream(dir.File("site.txt")) << "old";
  std::filesystem::create_symlink(dir.File("site.txt"), dir.File("current.txt"));
  run = Cli({"--port", sim.SlavePath(), "read", "-o", dir.File("current.txt")});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("current.txt")));
  EXPECT_NE(Slurp(dir.File("site.txt")).find("key1="), std::string::npos);

  // A link to nothing is refused; nothing appears.
  std::filesystem::create_symlink(dir.File("nowhere"), dir.File("dangling.txt"));
  run = Cli({"--port", sim.SlavePath(), "read", "-o", dir.File("dangling.txt")});
  EXPECT_EQ(run.code, kExitCannotWrite);
  EXPECT_FALSE(std::filesystem::exists(dir.File("nowhere")));

  // A FIFO and a character device are written into and stay what they are.
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  std::string piped;
  std::thread reader([&] { piped = Slurp(dir.File("pipe")); });
  run = Cli({"--port", sim.SlavePath(), "read", "-o", dir.File("pipe")});
  reader.join();
  EXPECT_EQ(run.code, kExitOk) << run.err;
  EXPECT_NE(piped.find("key1="), std::string::npos);
  EXPECT_EQ(std::filesystem::status(dir.File("pipe")).type(), std::filesystem::file_type::fifo);
  run = Cli({"--port", sim.SlavePath(), "read", "-o", "/dev/null"});
  EXPECT_EQ(run.code, kExitOk) << run.err;
  EXPECT_EQ(std::filesystem::status("/dev/null").type(), std::filesystem::file_type::character);

  // No temporary file is left behind.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"current.txt", "dangling.txt", "panel.txt",
                                             "panel.txt.tmp", "pipe", "site.txt", "victim"}));
}

// Outputs that cannot take the settings fail at once with exit 1 and a word:
// a FIFO that nothing reads (it used to hold the tool for ever), and standard
// output named by a path while it is closed (it used to be opened anew on
// /dev/null and the reading reported as saved).
TEST(CliFaults, AnOutputThatCannotTakeTheSettingsFailsAtOnceAndSaysWhy) {
  SimProcess sim;
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("unread").c_str(), 0600), 0);
  const struct {
    std::string output;
    std::string redirect;
    int code;
    std::string words;
  } cases[] = {
      {dir.File("unread"), ">/dev/null", kExitCannotWrite, "nothing reads this FIFO"},
      {"/dev/stdout", ">&-", kExitCannotWrite, "/dev/stdout (standard output): it is closed"},
      {"/dev/fd/1", ">&-", kExitCannotWrite, "/dev/fd/1 (standard output): it is closed"},
      {"/proc/self/fd/1", ">&-", kExitCannotWrite, "(standard output): it is closed"},
      {"/dev/stdout", ">" + dir.File("out.txt"), kExitOk, "into /dev/stdout, every reply checked"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.output + " " + c.redirect);
    // timeout's 124 is a tool that waited for ever.
    const std::string shell = "timeout 60 " + std::string(ORVEX_GSM_CLI_PATH) + " --fast --port " +
                              sim.SlavePath() + " read -o " + c.output + " " + c.redirect + " 2>" +
                              dir.File("err");
    EXPECT_EQ(WEXITSTATUS(std::system(shell.c_str())), c.code);
    EXPECT_NE(Slurp(dir.File("err")).find(c.words), std::string::npos) << Slurp(dir.File("err"));
  }
  EXPECT_NE(Slurp(dir.File("out.txt")).find("key1="), std::string::npos);
  EXPECT_EQ(std::filesystem::status(dir.File("unread")).type(), std::filesystem::file_type::fifo);
}

// Panels swapped faster than the old loop's two probes a second apart.
TEST(CliFaults, RepeatNoticesAPanelSwappedForTheNextWithinHalfASecond) {
  TempDir dir;
  const std::string link = dir.File("ttyPanel");
  std::ofstream(dir.File("gate.txt")) << kSettings;
  CliRun run{};
  std::thread loop([&] {
    run = Cli({"--fast", "--port", link, "write", dir.File("gate.txt"), "--repeat"});
  });
  for (int panel = 0; panel < 3; ++panel) {
    SimProcess sim({"--link", link});
    EXPECT_TRUE(sim.WaitForCommands(1 + 11 + 11 + 1, 15000)) << "written, read back, probed again";
    sim.Stop();  // the next one comes at once
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  kill(getpid(), SIGINT);
  loop.join();
  EXPECT_TRUE(run.err.ends_with("orvex-gsm-cli: panels written: 3, verified: 3, failed: 0\n"))
      << run.err;
}

TEST(CliFaults, MessagesSayWhatCameAndWhere) {
  SimProcess refusing({"--error-on", "+T01"});
  CliRun run = Cli({"--port", refusing.SlavePath(), "probe"});
  EXPECT_EQ(run.code, kExitNoAnswer);
  EXPECT_EQ(run.err, "orvex-gsm-cli: the probe +T01 on " + refusing.SlavePath() +
                         " was answered without \"OK\": \"ERROR\\r\\n\"\n"
                         "orvex-gsm-cli: is the panel on this port? try another port (-p), or "
                         "let \"orvex-gsm-cli scan\" look on every port\n");

  SetPortMapLookup([&](const std::string& name) -> std::optional<std::string> {
    if (name == "COM3") return refusing.SlavePath();
    if (name.starts_with("COM")) return "/no/such/" + name;
    return std::nullopt;
  });
  run = Cli({"--port", "COM3", "scan"});
  SetPortMapLookup(nullptr);
  EXPECT_EQ(run.code, kExitNoAnswer);
  EXPECT_NE(run.err.find("\norvex-gsm-cli: the probe +T01 on COM3 was answered without \"OK\": "
                         "\"ERROR\\r\\n\"\n"),
            std::string::npos)
      << run.err;

  SimProcess lost({"--hangup-mid", "+T01"});
  run = Cli({"--port", lost.SlavePath(), "probe"});
  EXPECT_EQ(run.code, kExitNotAccepted);
  EXPECT_NE(run.err.find("was lost during the probe +T01 ("), std::string::npos) << run.err;

  std::string crOnly = kSettings;
  std::replace(crOnly.begin(), crOnly.end(), '\n', '\r');
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string(kSettings)) utf16 += std::string{c, '\0'};
  const struct {
    std::string file;
    std::string words;
  } files[] = {{crOnly, "standard input has CR-only line ends"},
               {utf16, "standard input is in UTF-16"}};
  for (const auto& f : files) {
    run = Cli({"--port", lost.SlavePath(), "write", "-"}, f.file);
    EXPECT_EQ(run.code, kExitUsage);
    EXPECT_NE(run.err.find(f.words), std::string::npos) << run.err;
  }
}

// What a new user meets first: each mistake and each kind of panel gives its
// cause, the right exit code and a next step. "nothing" is a terminal with no
// panel behind it; PORT and FILE stand for that terminal and a settings file.
TEST(CliFaults, EachFirstHourMistakeNamesItsCauseAndTheNextStep) {
  std::string utf8 = kSettings, misspelt = kSettings;
  utf8.replace(utf8.find("number1=+79161234567"), 20, "number1=номер");
  misspelt.replace(misspelt.find("key1="), 4, "kye1");
  const auto words = [](const std::string& text) {
    std::vector<std::string> split;
    std::istringstream in(text);
    for (std::string word; in >> word;) split.push_back(word);
    return split;
  };
  // The far end (simulator options, or a terminal with "nothing" behind
  // it), the command, its input, the exit code and the words it must say.
  const struct {
    const char *far_end, *command;
    std::string input;
    int code;
    std::vector<std::string> said;
  } rows[] = {
      {"nothing", "read-key", "", kExitNoAnswer, {"no answer from the panel on PORT", "scan\""}},
      {"--silent", "read-key", "", kExitNoAnswer, {"no answer from the panel", "cable is in"}},
      {"--silent", "write -", kSettings, kExitNoAnswer, {"no answer from the panel on PORT"}},
      {"--error-on +H03", "read", "", kExitNotAccepted, {"refused number3 (+H03)", "read again"}},
      {"--twice +T02:120", "read", "", kExitNotAccepted, {"key2 (+T02)'s answer", "came twice"}},
      {"--hangup-mid +H04", "read -o FILE", "", kExitNotAccepted, {"lost during number4", "cable"}},
      {"", "-p COM0 write FILE --repeat", "", kExitCannotOpen, {"\"COM0\" is neither a COM name"}},
      {"", "-p /etc/passwd write FILE --repeat", "", kExitCannotOpen, {"is not a serial port"}},
      {"--silent", "write -", utf8, kExitUsage, {"is \"номер\""}},
      {"--silent", "write -", misspelt, kExitUsage, {"\"kye1\" (the names: key1 to key4"}},
      {"--silent", "set nmber1=112", "", kExitUsage, {"unknown field", "nothing was sent"}},
  };
  TempDir dir;
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.far_end) + " / " + row.command);
    std::ofstream(dir.File("gate.txt")) << kSettings;
    std::unique_ptr<PtyPair> nothing;
    std::unique_ptr<SimProcess> sim;
    std::string port;
    if (row.far_end == std::string("nothing")) {
      nothing = std::make_unique<PtyPair>();
      port = nothing->SlavePath();
    } else if (*row.far_end != '\0') {
      sim = std::make_unique<SimProcess>(words(row.far_end));
      port = sim->SlavePath();
    }
    std::vector<std::string> args;
    if (!port.empty()) args = {"-p", port};
    for (const std::string& arg : words(row.command))
      args.push_back(arg == "FILE" ? dir.File("gate.txt") : arg);
    const CliRun run = Cli(args, row.input);
    EXPECT_EQ(run.code, row.code) << run.err;
    for (std::string said : row.said) {
      if (const size_t at = said.find("PORT"); at != std::string::npos) said.replace(at, 4, port);
      EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
    }
    EXPECT_EQ(Slurp(dir.File("gate.txt")), kSettings) << "a failed read keeps the old file";
  }
}

// The log fills its file's size limit in the middle of a read.
TEST(CliFaults, ALogThatFailsMidRunEndsWithExitOne) {
  SimProcess sim;
  TempDir dir;
  const std::string shell = "cd " + dir.path() + " && trap '' XFSZ && ulimit -f 2 && " +
                            ORVEX_GSM_CLI_PATH + " -d --port " + sim.SlavePath() +
                            " read >/dev/null 2>" + dir.File("err");
  EXPECT_EQ(WEXITSTATUS(std::system(shell.c_str())), kExitCannotWrite) << Slurp(dir.File("err"));
  EXPECT_NE(Slurp(dir.File("err")).find("log.txt could not be written during "), std::string::npos)
      << Slurp(dir.File("err"));
}

}  // namespace
