#include "support/log.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "fakes/unprivileged.h"
#include "scratch_dir.h"
#include "support/text_codec.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

// The stamp's shape: LogStamp's own text with every run of digits free, so
// that a line written a second earlier or later still matches.
std::string StampPattern() {
  std::string pattern;
  bool inDigits = false;
  for (char c : LogStamp()) {
    const bool digit = c >= '0' && c <= '9';
    if (digit && !inDigits) pattern += "\\d+";
    inDigits = digit;
    if (digit) continue;
    if (static_cast<unsigned char>(c) < 0x80 && std::ispunct(static_cast<unsigned char>(c))) {
      pattern += '\\';
    }
    pattern += c;
  }
  return pattern;
}

// Checks text == head + stamp + tail.
void ExpectStamped(const std::string& text, const std::string& head, const std::string& tail) {
  ASSERT_GE(text.size(), head.size() + tail.size()) << text;
  EXPECT_EQ(text.substr(0, head.size()), head);
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  const std::string stamp = text.substr(head.size(), text.size() - head.size() - tail.size());
  EXPECT_TRUE(std::regex_match(stamp, std::regex(StampPattern()))) << stamp;
}

class SupportWriteLog : public ::testing::Test {
 protected:
  void SetUp() override { DebugMode = true; }
  void TearDown() override { DebugMode = false; }
  std::string LogText() const { return ReadFileBytes(dir_.path() / "log.txt"); }

  ScratchDir dir_;
};

struct FormCase {
  const char* what;
  std::string message;
  bool stamped;
  std::vector<uint8_t> data;
  std::string afterStamp;  // the whole file for the plain forms
};

std::vector<FormCase> FormCases() {
  std::string allBytes;
  std::vector<uint8_t> allData;
  for (int b = 0; b < 256; ++b) {
    allData.push_back(static_cast<uint8_t>(b));
    if (b != 0) allBytes += static_cast<char>(b);
  }
  const std::string success = Utf8ToCp1251("Успешно отправили команду { +T01 } с попытки № 1");
  const std::string opened = Utf8ToCp1251("Открыли устройство COM1 на скорости 19200");
  return {
      {"stamped message", "error", true, Bytes("X"), " # error #\r\n"},
      {"stamped Cyrillic message", success, true, {}, " # " + success + " #\r\n"},
      {"stamped data", "", true, {0x4F, 0x00, 0x4B, 0x0D, 0x0A}, " # OK\r\n ###\r\n"},
      {"stamped with nothing", "", true, {}, " #  ###\r\n"},
      {"plain message", opened, false, Bytes("ignored"), opened},
      {"plain data", "", false, {0x4F, 0x00, 0x4B}, "OK"},
      {"plain data of every byte", "", false, allData, allBytes},
      {"plain data of zero bytes only", "", false, {0, 0}, ""},
  };
}

TEST_F(SupportWriteLog, EachFormWritesExactlyItsBytes) {
  for (const FormCase& c : FormCases()) {
    SCOPED_TRACE(c.what);
    fs::remove("log.txt");
    WriteLog(c.message, c.stamped, c.data);
    ASSERT_TRUE(fs::exists("log.txt"));
    if (c.stamped) {
      ExpectStamped(LogText(), "# ", c.afterStamp);
    } else {
      EXPECT_EQ(LogText(), c.afterStamp);
    }
  }
}

TEST_F(SupportWriteLog, AReplyIsFollowedDirectlyByItsSuccessLineAfterEarlierContent) {
  WriteFileBytes("log.txt", "earlier run\r\n");
  const std::string success = Utf8ToCp1251("Успешно отправили команду { +s } с попытки № 1");
  WriteLog("", false, Bytes("+s\r\n>0A05\r\nOK\r\n"));
  WriteLog(success, true, EmptyData);
  ExpectStamped(LogText(), "earlier run\r\n+s\r\n>0A05\r\nOK\r\n# ", " # " + success + " #\r\n");
}

TEST_F(SupportWriteLog, NothingIsTouchedWhileDebugModeIsOff) {
  DebugMode = false;
  for (const FormCase& c : FormCases()) WriteLog(c.message, c.stamped, c.data);
  EXPECT_FALSE(fs::exists("log.txt"));

  WriteFileBytes("log.txt", "kept");
  for (const FormCase& c : FormCases()) WriteLog(c.message, c.stamped, c.data);
  EXPECT_EQ(LogText(), "kept");

  // Even a log that could not be opened raises nothing: it is not opened.
  fs::remove("log.txt");
  fs::create_directory("log.txt");
  EXPECT_NO_THROW(WriteLog("error", true, EmptyData));
}

TEST_F(SupportWriteLog, ALogThatCannotBeOpenedRaisesAnInOutError) {
  fs::create_directory("log.txt");
  for (const FormCase& c : FormCases()) {
    SCOPED_TRACE(c.what);
    EXPECT_THROW(WriteLog(c.message, c.stamped, c.data), EInOutError);
  }
  EXPECT_TRUE(fs::is_directory("log.txt"));
}

TEST_F(SupportWriteLog, AnExistingLogThatCannotBeAppendedToKeepsItsContent) {
  WriteFileBytes("log.txt", "trace of yesterday\r\n");
  fs::permissions("log.txt",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
#ifdef _WIN32
  // Wine run by root lets root append to a read-only file, and there is no
  // user to drop to from inside Wine.
  if (std::ofstream("log.txt", std::ios::app).is_open()) {
    GTEST_SKIP() << "file permissions do not stop this user (Wine as root)";
  }
#endif
  // Root may append to anything: the writes are tried as an unprivileged user.
  const int wrote = orvex_test::RunUnprivileged([] {
    const auto raises = [](const std::function<void()>& write) {
      try {
        write();
      } catch (const EInOutError&) {
        return true;
      }
      return false;
    };
    if (!raises([] { WriteLog("error", true, EmptyData); })) return 1;
    if (!raises([] { WriteLog("", false, Bytes("OK")); })) return 2;
    return 0;
  });
  EXPECT_EQ(wrote, 0) << "1: the stamped write, 2: the plain write raised nothing";
  EXPECT_EQ(LogText(), "trace of yesterday\r\n");
}

TEST_F(SupportWriteLog, AFullDiskRaisesAnInOutError) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  fs::create_symlink("/dev/full", "log.txt");
  EXPECT_THROW(WriteLog("error", true, EmptyData), EInOutError);
  EXPECT_THROW(WriteLog("", true, Bytes("OK")), EInOutError);
  EXPECT_THROW(WriteLog("", false, Bytes("OK")), EInOutError);
  EXPECT_THROW(WriteLog("message", false, EmptyData), EInOutError);
}

TEST(SupportLogStamp, HasADateABlankAndATimeWithSeconds) {
  const std::string stamp = LogStamp();
  const size_t blank = stamp.find(' ');
  ASSERT_NE(blank, std::string::npos) << stamp;
  EXPECT_GT(blank, 0u) << stamp;
  // Hours, minutes and seconds: at least three groups of digits after the blank.
  EXPECT_TRUE(std::regex_search(stamp.substr(blank + 1), std::regex("\\d+\\D+\\d+\\D+\\d+")))
      << stamp;
}

#ifndef _WIN32
// Under the C locale (no regional settings in the environment) the formats are
// known: the short date is month/day/two-digit year and the time is 24-hour.
TEST(SupportLogStamp, ShowsTodayInTheCLocaleFormats) {
  LogStamp();  // takes the environment's locale
  const std::string locale = std::setlocale(LC_TIME, nullptr);
  if (locale != "C" && locale != "POSIX" && locale != "C.UTF-8" && locale != "C.utf8") {
    GTEST_SKIP() << "regional settings " << locale;
  }
  auto today = [] {
    const std::time_t now = std::time(nullptr);
    char text[16];
    std::strftime(text, sizeof text, "%m/%d/%y ", std::localtime(&now));
    return std::string(text);
  };
  const std::string before = today();
  const std::string stamp = LogStamp();
  const std::string after = today();
  EXPECT_TRUE(std::regex_match(stamp, std::regex("\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d")))
      << stamp;
  EXPECT_TRUE(stamp.starts_with(before) || stamp.starts_with(after)) << stamp;
}
#endif

}  // namespace
