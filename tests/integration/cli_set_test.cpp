// The tool's single-field change against the panel simulator, and the
// messages that tell an installer what happened and what to do next.

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "cli_run.h"
#include "fakes/fake_sysfs.h"
#include "fakes/holder_process.h"
#include "fakes/pty_pair.h"
#include "fakes/sim_process.h"
#include "fakes/unprivileged.h"
#include "panel/settings_file.h"
#include "serial/comm_device.h"
#include "tools/cli/cli.h"

namespace {

using orvex_test::Body;
using orvex_test::Cli;
using orvex_test::CliRun;
using orvex_test::kSettings;
using orvex_test::SimProcess;
using orvex_test::TempDir;

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// The tool run in folder by a user without rights over the ports and the
// folder ("nobody" when the tests run as root), and without a settings file;
// its exit code and standard error.
CliRun CliUnprivileged(const std::vector<std::string>& args, const std::string& folder = ".") {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {-1, "", "no pipe"};
  const int code = orvex_test::RunUnprivileged([&] {
    close(pipeFds[0]);
    if (chdir(folder.c_str()) != 0) return 99;
    setenv("XDG_CONFIG_HOME", "/nonexistent/orvex-config", 1);
    const CliRun run = Cli(args);
    for (size_t done = 0; done < run.err.size();) {
      const ssize_t n = write(pipeFds[1], run.err.data() + done, run.err.size() - done);
      if (n <= 0) return 98;
      done += static_cast<size_t>(n);
    }
    return run.code;
  });
  close(pipeFds[1]);
  std::string err;
  char chunk[4096];
  for (ssize_t n; (n = read(pipeFds[0], chunk, sizeof chunk)) > 0;)
    err.append(chunk, static_cast<size_t>(n));
  close(pipeFds[0]);
  return {code, "", err};
}

// The settings file with the given lines replaced ("dial3=1").
std::string With(std::string text, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    const std::string head = line.substr(0, line.find('=') + 1);
    const size_t at = text.find("\n" + head) + 1;
    text.replace(at, text.find('\n', at) - at, line);
  }
  return text;
}

TEST(CliSet, SetChangesOnlyTheNamedFieldsAndReadsThePanelBack) {
  SimProcess sim({"--present", "0123456789ABCDEF"});
  const std::string port = sim.SlavePath();
  ASSERT_EQ(Cli({"-p", port, "-q", "write", "-"}, kSettings).code, kExitOk);
  const size_t before = sim.ReceivedCommands().size();

  CliRun run = Cli({"-p", port, "set", "number3=+79161234567", "dial3=1"});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  EXPECT_EQ(run.err, "orvex-gsm-cli: set number3, dial3 on the panel on " + port +
                         " and read it back: as set\n");
  std::vector<std::string> sent = sim.ReceivedCommands();
  sent.erase(sent.begin(), sent.begin() + static_cast<long>(before));
  ASSERT_EQ(sent.size(), 1u + 11u + 2u + 11u) << "probe, exact read, two writes, read-back";
  EXPECT_EQ(sent[12], "+s2F12") << "both flag bytes in one command, dial3 now ticked";
  EXPECT_EQ(sent[13], "+H032B373931363132333435363700000000");

  run = Cli({"-p", port, "read"});
  EXPECT_EQ(Body(run.out), Body(FormatSettingsFile(ParseSettingsFile(
                               With(kSettings, {"number3=+79161234567", "dial3=1"})))));

  // The key held to the reader, in the order the key list shows it.
  run = Cli({"-p", port, "-q", "set", "key2=presented"});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  EXPECT_NE(Cli({"-p", port, "read"}).out.find("key2=EFCDAB8967452301\n"), std::string::npos);

  const size_t sentSoFar = sim.ReceivedCommands().size();
  run = Cli({"-p", port, "set", "dial3=1"});
  EXPECT_EQ(run.code, kExitOk);
  EXPECT_NE(run.err.find("already holds that: nothing written"), std::string::npos) << run.err;
  EXPECT_EQ(sim.ReceivedCommands().size(), sentSoFar + 1 + 11) << "the probe and the read only";
}

TEST(CliSet, BadFieldsAndValuesAreRefusedBeforeAnythingIsSent) {
  SimProcess sim;
  const struct {
    std::vector<std::string> fields;
    std::string words;
  } cases[] = {
      {{"numbr3=1"}, "unknown field \"numbr3\" (the fields: key1 to key4"},
      {{"number3"}, "expected FIELD=VALUE, got \"number3\""},
      {{"number3=12a"}, "number3 must be at most 16 digits"},
      {{"dial3=2"}, "dial3 must be 0 or 1, is \"2\""},
      {{"key1=0123"}, "key1 must be 16 hexadecimal digits"},
      // What was typed is shown as typed, not as escaped bytes.
      {{"key2=ключ€"}, "key2 must be 16 hexadecimal digits, is \"ключ€\""},
      {{"dial1=1", "dial1=0"}, "dial1 is given twice"},
      {{"day2=presented"}, "day2 cannot be \"presented\""},
      {{"number1=1\nkey1=0000000000000000"}, "number1 must be one line"},
      {{"dial1=1", "number9=1"}, "unknown field \"number9\""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"-p", sim.SlavePath(), "set"};
    args.insert(args.end(), c.fields.begin(), c.fields.end());
    const CliRun run = Cli(args);
    EXPECT_EQ(run.code, kExitUsage) << c.words;
    EXPECT_NE(run.err.find("set: " + c.words), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("nothing was sent"), std::string::npos) << run.err;
  }
  EXPECT_TRUE(sim.ReceivedCommands().empty());
  const CliRun run = Cli({"-p", sim.SlavePath(), "set"});
  EXPECT_EQ(run.code, kExitUsage);
  EXPECT_NE(run.err.find("set needs FIELD=VALUE"), std::string::npos) << run.err;
}

// A panel that refuses number3 both ways: the write says so once, with the
// field beside the command, and the read-back does not say it again.
TEST(CliSet, ARefusedCommandIsToldOnceWithItsField) {
  SimProcess sim({"--error-on", "+H03"});
  const CliRun run = Cli({"-p", sim.SlavePath(), "write", "-"}, kSettings);
  EXPECT_EQ(run.code, kExitNotAccepted);
  EXPECT_TRUE(run.err.starts_with("orvex-gsm-cli: not accepted by the panel on " + sim.SlavePath() +
                                  ": number3 (+H03)\n"))
      << run.err;
  EXPECT_NE(run.err.find("refused number3 (+H03): \"ERROR\\r\\n\""), std::string::npos);
  EXPECT_EQ(Count(run.err, "+H03"), 2u) << run.err;
}

TEST(CliSet, MessagesSayWhatToDoNext) {
  SimProcess lost({"--hangup-mid", "+T03"});
  CliRun run = Cli({"-p", lost.SlavePath(), "read"});
  EXPECT_EQ(run.code, kExitNotAccepted);
  EXPECT_NE(run.err.find("lost during key3 (+T03)"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("then read again"), std::string::npos) << run.err;

  run = Cli({"-p", "", "probe"});
  EXPECT_EQ(run.code, kExitUsage);
  EXPECT_NE(run.err.find("the port name is empty"), std::string::npos) << run.err;

  run = Cli({"-p", "foo", "probe"});
  EXPECT_EQ(run.code, kExitCannotOpen);
  EXPECT_NE(run.err.find("\"foo\" is neither a COM name (COM1 to COM256) nor a device path"),
            std::string::npos)
      << run.err;
  // A name the user did not type says where it came from.
  ::setenv("ORVEX_GSM_PORT", "foo", 1);
  run = Cli({"probe"});
  ::unsetenv("ORVEX_GSM_PORT");
  EXPECT_NE(run.err.find("foo is $ORVEX_GSM_PORT: name another with -p"), std::string::npos)
      << run.err;

  SimProcess sim;
  run = Cli({"-p", sim.SlavePath(), "--fast", "--no-verify", "-q", "write", "-"}, kSettings);
  EXPECT_EQ(run.code, kExitOk);
  EXPECT_TRUE(run.err.starts_with("orvex-gsm-cli: warning: --fast with --no-verify")) << run.err;

  TempDir empty;
  ::setenv("ORVEX_GSM_SYSFS_ROOT", empty.path().c_str(), 1);
  run = Cli({"ports"});
  ::unsetenv("ORVEX_GSM_SYSFS_ROOT");
  EXPECT_EQ(run.code, kExitOk);
  EXPECT_NE(run.err.find("check that the adapter is plugged in"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("dmesg"), std::string::npos) << run.err;
}

// Ports that other programs hold: one line each, the remedy once per holder,
// and no line that is only the program's name.
TEST(CliSet, AFailedScanNamesEachPortOnceWithoutEmptyLines) {
  PtyPair first, second;
  HolderProcess holdsFirst(first.SlavePath());
  HolderProcess holdsSecond(second.SlavePath());
  SetPortMapLookup([&](const std::string& name) -> std::optional<std::string> {
    if (name == "COM3") return first.SlavePath();
    if (name == "COM4") return second.SlavePath();
    return "/no/such/" + name;
  });
  ::setenv("ORVEX_GSM_SYSFS_ROOT", "/nonexistent", 1);
  const CliRun run = Cli({"-p", "COM1", "scan"});
  ::unsetenv("ORVEX_GSM_SYSFS_ROOT");
  SetPortMapLookup(nullptr);
  EXPECT_EQ(run.code, kExitNoAnswer);
  EXPECT_EQ(run.err.find("orvex-gsm-cli: \n"), std::string::npos) << run.err;
  EXPECT_EQ(Count(run.err, "cannot open " + first.SlavePath()), 1u) << run.err;
  EXPECT_EQ(Count(run.err, "cannot open " + second.SlavePath()), 1u) << run.err;
  EXPECT_EQ(Count(run.err, "close it first"), 2u) << run.err;
  // The port asked for is one of the list: named once, and what to do last.
  EXPECT_EQ(Count(run.err, "COM1"), 1u) << run.err;
  EXPECT_NE(run.err.find("not present: COM1, COM2, COM5"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("then scan again"), std::string::npos) << run.err;
}

// Every port there refuses this user: no panel was asked, so the way in comes
// first, and the exit status is the one of a port that cannot be opened.
TEST(CliSet, AScanThatNoPortLetsInSaysHowToGetInAndExitsFive) {
  PtyPair first, second;
  for (const PtyPair* pty : {&first, &second}) {
    if (geteuid() == 0) {
      // Open to its group, as a serial port is to dialout.
      const group* dialout = getgrnam("dialout");
      ASSERT_NE(dialout, nullptr);
      ASSERT_EQ(chown(pty->SlavePath().c_str(), static_cast<uid_t>(-1), dialout->gr_gid), 0);
      ASSERT_EQ(chmod(pty->SlavePath().c_str(), 0660), 0);
    } else {
      ASSERT_EQ(chmod(pty->SlavePath().c_str(), 0), 0);
    }
  }
  SetPortMapLookup([&](const std::string& name) -> std::optional<std::string> {
    if (name == "COM3") return first.SlavePath();
    if (name == "COM4") return second.SlavePath();
    return "/no/such/" + name;
  });
  ::setenv("ORVEX_GSM_SYSFS_ROOT", "/nonexistent", 1);
  const CliRun run = CliUnprivileged({"-p", "COM3", "scan"});
  ::unsetenv("ORVEX_GSM_SYSFS_ROOT");
  SetPortMapLookup(nullptr);
  EXPECT_EQ(run.code, kExitCannotOpen) << run.err;
  EXPECT_TRUE(run.err.starts_with(
      "orvex-gsm-cli: no port can be opened by this user: permission denied on " +
      first.SlavePath() + ", " + second.SlavePath() + "\norvex-gsm-cli: "))
      << run.err;
  EXPECT_NE(
      run.err.find(geteuid() == 0 ? "sudo usermod -aG dialout $USER" : "ask the administrator"),
      std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("no answer"), std::string::npos) << run.err;
  EXPECT_TRUE(run.err.ends_with("orvex-gsm-cli: then scan again: no panel was asked yet\n"))
      << run.err;
}

TEST(CliSet, ALogThatCannotBeMadeNamesTheFolderAndTheWayOut) {
  TempDir dir;
  ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
  const CliRun run = CliUnprivileged({"-d", "-p", "/nonexistent/tty", "probe"}, dir.path());
  chmod(dir.path().c_str(), 0755);
  EXPECT_EQ(run.code, kExitCannotWrite) << run.err;
  EXPECT_NE(run.err.find("cannot write log.txt in " +
                         std::filesystem::canonical(dir.path()).string() + ": "),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("run the command from a folder you can write"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("or leave out -d"), std::string::npos) << run.err;
}

}  // namespace
