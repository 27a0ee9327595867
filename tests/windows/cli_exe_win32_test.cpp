// orvex-gsm-cli.exe end to end, as an installer runs it on a Windows PC,
// against the panel simulator at the far end of SimPort().

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>

#include "unit/support/scratch_dir.h"
#include "win_test_support.h"

namespace {

std::string Cli() {
  return HostPathForWindows(ORVEX_GSM_CLI_PATH);
}

ProgramRun RunCli(const std::string& arguments, const std::string& input = {}) {
  return RunProgram(Cli(), arguments, input);
}

std::string OnPanel(const std::string& command) {
  return "--port " + SimPort() + " " + command;
}

// The settings file with the line that starts with "name=" changed to value.
std::string WithValue(std::string file, const std::string& name, const std::string& value) {
  const size_t at = file.find(name + "=");
  if (at == std::string::npos) return file + "(no " + name + ")";
  const size_t end = file.find_first_of("\r\n", at);
  file.replace(at, end - at, name + "=" + value);
  return file;
}

// A settings file without its "#" header, which holds the time of the read.
std::string Body(const std::string& file) {
  std::string body;
  for (size_t at = 0; at < file.size();) {
    const size_t end = std::min(file.find('\n', at), file.size());
    if (file[at] != '#') body += file.substr(at, end + 1 - at);
    at = end + 1;
  }
  return body;
}

TEST(WinCliExe, ProbeReadWriteAndReadBackTheWholePanel) {
  const ProgramRun probe = RunCli(OnPanel("probe"));
  ASSERT_EQ(probe.exitCode, 0u) << probe.out << probe.err;
  EXPECT_NE(probe.out.find("found on " + SimPort()), std::string::npos) << probe.out;

  const ProgramRun original = RunCli(OnPanel("read"));
  ASSERT_EQ(original.exitCode, 0u) << original.err;
  ASSERT_NE(original.out.find("key1="), std::string::npos) << original.out;

  std::string changed = original.out;
  changed = WithValue(changed, "key1", "0123456789ABCDEF");
  changed = WithValue(changed, "key4", "FEDCBA9876543210");
  changed = WithValue(changed, "number1", "+79001234567");
  changed = WithValue(changed, "number6", "112");
  changed = WithValue(changed, "dial1", "1");
  changed = WithValue(changed, "dial6", "1");
  changed = WithValue(changed, "day3", "1");
  ASSERT_NE(changed, original.out);

  const ProgramRun write = RunCli(OnPanel("write -"), changed);
  EXPECT_EQ(write.exitCode, 0u) << write.out << write.err;
  const ProgramRun readBack = RunCli(OnPanel("read"));
  EXPECT_EQ(readBack.exitCode, 0u) << readBack.err;
  EXPECT_EQ(Body(readBack.out), Body(changed));

  // The panel as it was, for whoever comes next.
  const ProgramRun restore = RunCli(OnPanel("write -"), original.out);
  EXPECT_EQ(restore.exitCode, 0u) << restore.err;
  EXPECT_EQ(Body(RunCli(OnPanel("read")).out), Body(original.out));
}

TEST(WinCliExe, ASettingsFileThatIsRefusedSendsNothing) {
  const ProgramRun before = RunCli(OnPanel("read"));
  ASSERT_EQ(before.exitCode, 0u) << before.err;
  const ProgramRun write = RunCli(OnPanel("write -"), "key1=not a key\n");
  EXPECT_EQ(write.exitCode, 2u) << write.out << write.err;
  EXPECT_FALSE(write.err.empty());
  EXPECT_EQ(Body(RunCli(OnPanel("read")).out), Body(before.out));
}

TEST(WinCliExe, APortThatCannotBeOpenedIsReportedWithItsExitCode) {
  const ProgramRun probe = RunCli("--port COM99 probe");
  EXPECT_EQ(probe.exitCode, 5u) << probe.out << probe.err;
  EXPECT_NE(probe.err.find("cannot open COM99"), std::string::npos) << probe.err;
  EXPECT_FALSE(probe.timedOut);
}

// The simulator's COM port, given to Wine as one of its own ports, is listed
// as probe finds it. The help speaks of COM names only, and the port map,
// which means nothing here, is refused.
TEST(WinCliExe, PortsListsEveryComPortAndTheHelpSpeaksOfWindowsPorts) {
  const ProgramRun ports = RunCli("ports --plain");
  EXPECT_EQ(ports.exitCode, 0u) << ports.err;
  const std::string row = SimPort() + "\t";
  EXPECT_TRUE(ports.out.starts_with(row) || ports.out.find('\n' + row) != std::string::npos)
      << ports.out;

  const ProgramRun map = RunCli("map COM5 /dev/ttyUSB0");
  EXPECT_EQ(map.exitCode, 2u) << map.err;
  EXPECT_NE(map.err.find("on Windows the COM names are the system's own"), std::string::npos)
      << map.err;

  // The table has no Linux columns.
  const ProgramRun table = RunCli("ports");
  EXPECT_EQ(table.exitCode, 0u) << table.err;
  EXPECT_TRUE(table.out.starts_with("DEVICE ")) << table.out;
  EXPECT_EQ(table.out.find("BY-ID"), std::string::npos) << table.out;
  EXPECT_EQ(table.out.find("MAPPED"), std::string::npos) << table.out;

  const ProgramRun help = RunCli("--help");
  EXPECT_EQ(help.exitCode, 0u);
  for (const char* word : {"/dev/", "unmap", "$ORVEX_GSM_PORT", "manual page"})
    EXPECT_EQ(help.out.find(word), std::string::npos) << word << "\n" << help.out;
}

TEST(WinCliExe, BadArgumentsAreRefused) {
  const ProgramRun run = RunCli("--port");
  EXPECT_EQ(run.exitCode, 2u) << run.out << run.err;
  EXPECT_NE(run.err.find("option --port needs a value"), std::string::npos) << run.err;
}

TEST(WinCliExe, DebugTracesToLogTxtInTheCurrentDirectoryStampedInTheUsersFormats) {
  UserFormats restore;
  ASSERT_TRUE(UserFormats::Set("dd.MM.yyyy", "HH:mm:ss"));
  ScratchDir here;
  const ProgramRun probe = RunCli(OnPanel("--debug probe"));
  ASSERT_EQ(probe.exitCode, 0u) << probe.out << probe.err;
  const std::string log = ReadFileBytes(here.path() / "log.txt");
  // "Успешно отправили команду { " in code page 1251, the command's label,
  // " } с попытки № 1".
  const std::string success =
      "\xD3\xF1\xEF\xE5\xF8\xED\xEE \xEE\xF2\xEF\xF0\xE0\xE2\xE8\xEB\xE8 "
      "\xEA\xEE\xEC\xE0\xED\xE4\xF3 { ";
  EXPECT_NE(log.find(success), std::string::npos) << log;
  const std::regex stamped("# \\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d # [^\\r\\n]* #\\r\\n");
  EXPECT_TRUE(std::regex_search(log, stamped)) << log;
  EXPECT_NE(log.find("OK\r\n"), std::string::npos) << "the reply's raw bytes";
}

TEST(WinCliExe, ReadKeyGivesTheKeyHeldToTheReaderInDisplayOrder) {
  // The simulator starts with key 0123456789ABCDEF (panel order) at its reader.
  const ProgramRun run = RunCli(OnPanel("read-key"));
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_EQ(run.out, "EFCDAB8967452301\r\n") << "a text line of Windows";
}

}  // namespace
