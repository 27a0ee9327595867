// The command-line tool's settings file: what it accepts, what it refuses and
// that a written file reads back the same.

#include <gtest/gtest.h>

#include "tools/cli/settings_file.h"

namespace {

PanelSettings Sample() {
  PanelSettings s;
  s.keys = {"0123456789ABCDEF", "FEDCBA9876543210", "0000000000000000", "01ab02cd03ef0405"};
  s.numbers = {"+79161234567", "", "112", "89031112233", "+7", "0123456789012345"};
  s.dial = {true, false, true, false, false, true};
  s.day = {false, false, false, true, true, false};
  return s;
}

bool Same(const PanelSettings& a, const PanelSettings& b) {
  return a.keys == b.keys && a.numbers == b.numbers && a.dial == b.dial && a.day == b.day;
}

TEST(SettingsFile, WrittenFileReadsBackUnchanged) {
  const std::string text = FormatSettingsFile(Sample());
  EXPECT_EQ(text.substr(0, 22), "key1=0123456789ABCDEF\n");
  EXPECT_NE(text.find("number6=0123456789012345\ndial1=1\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with("day6=0\n"));
  EXPECT_TRUE(Same(ParseSettingsFile(text), Sample()));
}

TEST(SettingsFile, CommentsBlankLinesCrLfAndBlanksAroundNamesAreAccepted) {
  std::string text = "\xEF\xBB\xBF# panel at the north gate\r\n\r\n";
  text += "  key1 = 0123456789ABCDEF  \r\n";
  const std::string rest = FormatSettingsFile(Sample()).substr(22);
  text += rest;
  EXPECT_TRUE(Same(ParseSettingsFile(text), Sample()));
}

TEST(SettingsFile, KeyOfCyrillicLettersCountsCharactersNotBytes) {
  PanelSettings s = Sample();
  s.keys[2] = "ЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖ";
  EXPECT_TRUE(Same(ParseSettingsFile(FormatSettingsFile(s)), s));
}

TEST(SettingsFile, FaultyFilesAreRefusedWithTheirLine) {
  const std::string good = FormatSettingsFile(Sample());
  auto replaceLine = [&](int line, const std::string& with) {
    std::string text = good;
    size_t start = 0;
    for (int i = 1; i < line; ++i) start = text.find('\n', start) + 1;
    text.replace(start, text.find('\n', start) - start, with);
    return text;
  };
  struct Case {
    std::string text;
    int line;
    std::string words;
  };
  const Case cases[] = {
      {replaceLine(3, "key5=0123456789ABCDEF"), 3, "unknown name"},
      {replaceLine(3, "key3 0000000000000000"), 3, "name=value"},
      {replaceLine(2, "key2=FEDCBA987654321"), 2, "16 characters"},
      {replaceLine(1, "key1=0123456789ABCDEF0"), 1, "16 characters"},
      {replaceLine(11, "dial1=yes"), 11, "0 or 1"},
      {replaceLine(22, "day6=2"), 22, "0 or 1"},
      {replaceLine(22, "key1=0123456789ABCDEF"), 22, "given twice"},
      {replaceLine(22, "# day6 left out"), 23, "\"day6\" is missing"},
      {replaceLine(5, "number1=+7916中"), 5, "cannot hold"},
      {"", 1, "\"key1\" is missing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      ParseSettingsFile(c.text);
      FAIL() << "accepted";
    } catch (const SettingsFileError& e) {
      EXPECT_EQ(e.line(), c.line);
      EXPECT_NE(std::string(e.what()).find(c.words), std::string::npos) << e.what();
    }
  }
}

}  // namespace
