#include "support/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;

struct IniCase {
  const char* what;
  std::string content;
  std::string expected;  // "dflt" is the default
};

TEST(SupportIniFile, FindsTheValueAsTheWindowsProfileReaderWould) {
  const IniCase cases[] = {
      {"plain", "[Main]\nDebug=TRUE\n", "TRUE"},
      {"names in other letter case", "[mAIN]\ndEBUG=yes\n", "yes"},
      {"CR LF line ends", "[Main]\r\nDebug=TRUE\r\nOther=1\r\n", "TRUE"},
      {"CR line ends", "[Main]\rDebug=TRUE\r", "TRUE"},
      {"no line end after the last line", "[Main]\nDebug=TRUE", "TRUE"},
      {"byte order mark", "\xEF\xBB\xBF[Main]\nDebug=TRUE\n", "TRUE"},
      {"blanks around names and value", "  [ Main ]  \n \t Debug \t=  TRUE \t\n", "TRUE"},
      {"blank lines and comments", "\n; Debug=no\n[Main]\n\n;Debug=no\n#Debug=no\nDebug=x\n", "x"},
      {"text after the value belongs to it", "[Main]\nDebug=TRUE ; on\n", "TRUE ; on"},
      {"equals sign inside the value", "[Main]\nDebug=a=b\n", "a=b"},
      {"empty value", "[Main]\nDebug=\n", ""},
      {"double quotes", "[Main]\nDebug=\"TRUE\"\n", "TRUE"},
      {"single quotes", "[Main]\nDebug='TRUE'\n", "TRUE"},
      {"blank inside quotes stays", "[Main]\nDebug=\"TRUE \"\n", "TRUE "},
      {"unmatched quote stays", "[Main]\nDebug=\"TRUE\n", "\"TRUE"},
      {"first of two keys", "[Main]\nDebug=one\nDebug=two\n", "one"},
      {"second section of the same name", "[Main]\nA=1\n[Other]\nDebug=no\n[MAIN]\nDebug=yes\n",
       "yes"},
      {"text after the closing bracket", "[Main] old\nDebug=yes\n", "yes"},
      {"key in another section", "[Other]\nDebug=TRUE\n", "dflt"},
      {"key before any section", "Debug=TRUE\n[Main]\nOther=1\n", "dflt"},
      {"section left for another", "[Main]\n[Other]\nDebug=TRUE\n", "dflt"},
      {"line without equals sign", "[Main]\nDebug\n", "dflt"},
      {"longer key name", "[Main]\nDebugMode=TRUE\n", "dflt"},
      {"longer section name", "[Main2]\nDebug=TRUE\n", "dflt"},
      {"unclosed section name", "[Main\nDebug=TRUE\n", "TRUE"},
      {"empty file", "", "dflt"},
      {"binary junk", std::string("\0\xFF[\0=\n]]=\r\r\n", 12), "dflt"},
  };
  ScratchDir dir;
  for (const IniCase& c : cases) {
    WriteFileBytes("Config.ini", c.content);
    EXPECT_EQ(ReadIniString("Config.ini", "Main", "Debug", "dflt"), c.expected) << c.what;
  }
}

TEST(SupportIniFile, AnUnreadableFileGivesTheDefault) {
  ScratchDir dir;
  EXPECT_EQ(ReadIniString("missing.ini", "Main", "Debug", "False"), "False");
  EXPECT_EQ(ReadIniString("", "Main", "Debug", "False"), "False");
  fs::create_directory("folder.ini");
  EXPECT_EQ(ReadIniString("folder.ini", "Main", "Debug", "False"), "False");
  // A file far larger than any settings file is not read at all.
  WriteFileBytes("huge.ini", "[Main]\nDebug=TRUE\n" + std::string(2 << 20, ';'));
  EXPECT_EQ(ReadIniString("huge.ini", "Main", "Debug", "False"), "False");
}

TEST(SupportIniFile, ReadsByFullPathFromAnotherDirectory) {
  ScratchDir dir;
  fs::create_directory("program");
  WriteFileBytes("program/Config.ini", "[Main]\nDebug=TRUE\n");
  const std::string path = (dir.path() / "program" / "Config.ini").string();
  fs::current_path(fs::temp_directory_path());
  EXPECT_EQ(ReadIniString(path, "Main", "Debug", "False"), "TRUE");
}

}  // namespace
