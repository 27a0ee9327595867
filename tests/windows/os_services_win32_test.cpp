// What the log and the debug switch take from Windows: the user's regional
// date and time formats, and the folder of the program.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/debug_switch.h"
#include "support/log.h"
#include "win_test_support.h"

namespace {

std::string Printed(const char* format, int a, int b, int c) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

struct FormatCase {
  const char* shortDate;
  const char* longTime;
  // The same as the stamp must show it at time t.
  std::string (*expected)(const SYSTEMTIME& t);
};

TEST(WinLogStamp, FollowsTheUsersRegionalFormats) {
  const FormatCase cases[] = {
      {"dd.MM.yyyy", "HH:mm:ss",
       [](const SYSTEMTIME& t) {
         return Printed("%02d.%02d.%04d ", t.wDay, t.wMonth, t.wYear) +
                Printed("%02d:%02d:%02d", t.wHour, t.wMinute, t.wSecond);
       }},
      {"yyyy-M-d", "H.mm.ss",
       [](const SYSTEMTIME& t) {
         return Printed("%04d-%d-%d ", t.wYear, t.wMonth, t.wDay) +
                Printed("%d.%02d.%02d", t.wHour, t.wMinute, t.wSecond);
       }},
      // Words of the format reach log.txt in code page 1251, whatever the
      // system's ANSI code page: "ч" is 0xF7, "мин" 0xEC 0xE8 0xED.
      {"d/M/yy", "H' ч 'mm' мин 'ss",
       [](const SYSTEMTIME& t) {
         return Printed("%d/%d/%02d ", t.wDay, t.wMonth, t.wYear % 100) +
                Printed("%d \xF7 %02d \xEC\xE8\xED %02d", t.wHour, t.wMinute, t.wSecond);
       }},
  };
  UserFormats restore;
  for (const FormatCase& c : cases) {
    ASSERT_TRUE(UserFormats::Set(c.shortDate, c.longTime));
    SYSTEMTIME before;
    GetLocalTime(&before);
    const std::string stamp = LogStamp();
    SYSTEMTIME after;
    GetLocalTime(&after);
    EXPECT_TRUE(stamp == c.expected(before) || stamp == c.expected(after))
        << stamp << " for " << c.shortDate << " " << c.longTime;
  }
}

TEST(WinDebugSwitch, ConfigIniIsReadBesideTheProgramNotInTheCurrentDirectory) {
  const std::string beside = ExecutableDirectory() + "Config.ini";
  ASSERT_FALSE(std::filesystem::exists(beside)) << "left over: " << beside;
  char program[] = "orvex-gsm.exe";
  char* argv[] = {program, nullptr};
  { std::ofstream(beside, std::ios::binary) << "[Main]\r\nDebug=True\r\n"; }
  ApplyDebugSwitch(1, argv);
  const bool onWithFile = DebugMode;
  std::filesystem::remove(beside);
  ApplyDebugSwitch(1, argv);
  const bool onWithout = DebugMode;
  DebugMode = false;
  EXPECT_TRUE(onWithFile);
  EXPECT_FALSE(onWithout);
}

}  // namespace
