#include "support/debug_switch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "scratch_dir.h"
#include "support/log.h"

namespace {

namespace fs = std::filesystem;

struct SwitchCase {
  const char* what;
  std::optional<std::string> configIni;  // no file when empty
  std::string argument;
  bool debug;
};

TEST(SupportDebugSwitch, ArgumentAndConfigIniChooseDebugMode) {
  const SwitchCase cases[] = {
      {"no argument, no Config.ini", std::nullopt, "", false},
      {"argument DEBUG", std::nullopt, "DEBUG", true},
      {"argument debug", std::nullopt, "debug", true},
      {"argument Debug over False", "[Main]\nDebug=False\n", "Debug", true},
      {"argument over a missing key", "[Main]\n", "dEbUg", true},
      {"Config.ini TRUE", "[Main]\nDebug=TRUE\n", "", true},
      {"Config.ini true", "[main]\ndebug=true\n", "", true},
      {"Config.ini True with CR LF", "[Main]\r\nDebug=True\r\n", "", true},
      {"blanks around the value are the INI reader's", "[Main]\nDebug = TRUE \n", "", true},
      {"other argument keeps Config.ini's TRUE", "[Main]\nDebug=TRUE\n", "COM2", true},
      {"Config.ini False", "[Main]\nDebug=False\n", "", false},
      {"Config.ini 1", "[Main]\nDebug=1\n", "", false},
      {"Config.ini Yes", "[Main]\nDebug=Yes\n", "", false},
      {"Config.ini On", "[Main]\nDebug=On\n", "", false},
      {"quoted blank is not trimmed", "[Main]\nDebug=\"TRUE \"\n", "", false},
      {"Config.ini TRUE in another section", "[Other]\nDebug=TRUE\n", "", false},
      {"other argument", std::nullopt, "COM2", false},
      {"argument with a blank", std::nullopt, "DEBUG ", false},
      {"argument with a dash", std::nullopt, "-debug", false},
      {"argument DEBUGGING", std::nullopt, "DEBUGGING", false},
  };
  ScratchDir dir;
  for (const SwitchCase& c : cases) {
    fs::remove("Config.ini");
    if (c.configIni) WriteFileBytes("Config.ini", *c.configIni);
    EXPECT_EQ(DebugSwitch((dir.path() / "Config.ini").string(), c.argument), c.debug) << c.what;
  }
}

TEST(SupportDebugSwitch, ExecutableDirectoryHoldsThisProgram) {
  const std::string directory = ExecutableDirectory();
  ASSERT_FALSE(directory.empty());
  EXPECT_TRUE(directory.back() == '/' || directory.back() == '\\') << directory;
#ifdef _WIN32
  EXPECT_TRUE(fs::exists(directory + "test_support.exe")) << directory;
#else
  EXPECT_TRUE(fs::exists(directory + "test_support")) << directory;
#endif
}

TEST(SupportDebugSwitch, StartUpReadsTheFirstArgumentAndNotConfigIniOfTheCurrentDirectory) {
  if (fs::exists(ExecutableDirectory() + "Config.ini")) {
    GTEST_SKIP() << "a Config.ini lies beside the test program";
  }
  ScratchDir dir;
  WriteFileBytes("Config.ini", "[Main]\nDebug=TRUE\n");
  char program[] = "orvex-gsm";
  char debug[] = "Debug";
  char other[] = "COM1";

  char* withDebug[] = {program, debug, other, nullptr};
  ApplyDebugSwitch(3, withDebug);
  EXPECT_TRUE(DebugMode);

  char* secondArgument[] = {program, other, debug, nullptr};
  ApplyDebugSwitch(3, secondArgument);
  EXPECT_FALSE(DebugMode);

  char* alone[] = {program, nullptr};
  ApplyDebugSwitch(1, alone);
  EXPECT_FALSE(DebugMode);

  ApplyDebugSwitch(0, alone);
  EXPECT_FALSE(DebugMode);
  DebugMode = false;
}

}  // namespace
