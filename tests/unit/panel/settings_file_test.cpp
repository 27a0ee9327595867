// The settings file: what it accepts, what it refuses and
// that every panel state survives a file written and read back.

#include <gtest/gtest.h>

#include "panel/encodings.h"
#include "panel/settings_file.h"

namespace {

PanelImage Sample() {
  PanelImage s;
  s.keys = {"0123456789ABCDEF", "FEDCBA9876543210", "0000000000000000", "01AB02CD03EF0405"};
  s.numbers = {EncodeNumber("+79161234567"),     EncodeNumber(""),   EncodeNumber("112"),
               EncodeNumber("8903111223344556"), EncodeNumber("+7"), EncodeNumber("0123")};
  s.dial = 0b100101;
  s.day = 0b011000;
  return s;
}

TEST(SettingsFile, WrittenFileReadsBackUnchangedWithItsHeader) {
  const std::string text = FormatSettingsFile(Sample(), "orvex-gsm-cli 0.2.0\nport: COM5");
  EXPECT_EQ(text.substr(0, 45), "# orvex-gsm-cli 0.2.0\n# port: COM5\nkey1=01234");
  EXPECT_NE(text.find("number2=\nnumber3=112\nnumber4=8903111223344556\n"), std::string::npos);
  EXPECT_NE(text.find("dial1=1\ndial2=0\ndial3=1\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with("day6=0\n"));
  EXPECT_EQ(ParseSettingsFile(text), Sample());
}

// Whatever 16 codes the panel holds come back: what a number field could not
// show is kept as its digits.
TEST(SettingsFile, EveryNumberThePanelCanHoldRoundTrips) {
  const struct {
    std::string digits;
    std::string shown;
  } cases[] = {
      {EncodeNumber("+7916"), "+7916"},
      {EncodeNumber(std::string(16, '9')), std::string(16, '9')},
      {std::string(32, '0'), ""},
      {"00" + EncodeNumber("12").substr(0, 30), "hex:00313200000000000000000000000000"},
      {EncodeNumber("12*#"), "hex:31322A23000000000000000000000000"},
      {"3100320000000000000000000000000A", "hex:3100320000000000000000000000000A"},
      {"ffffffffffffffffffffffffffffffff", "hex:FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.digits);
    EXPECT_EQ(NumberFileText(c.digits), c.shown);
    EXPECT_EQ(NumberDigits(c.shown), AsciiUpper(c.digits));
  }
}

TEST(SettingsFile, CommentsBlankLinesCrLfBlanksAndLowerCaseKeysAreAccepted) {
  std::string text = "\xEF\xBB\xBF# panel at the north gate\r\n\r\n";
  text += "  key1 = 0123456789abcdef  \r\n";
  text += FormatSettingsFile(Sample()).substr(22);
  EXPECT_EQ(ParseSettingsFile(text), Sample());
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
      {replaceLine(2, "key2=FEDCBA987654321"), 2, "16 hexadecimal digits"},
      {replaceLine(1, "key1=0123456789ABCDEG"), 1, "16 hexadecimal digits"},
      {replaceLine(5, "number1=+7916-123"), 5, "at most 16 digits"},
      {replaceLine(5, "number1=12345678901234567"), 5, "at most 16 digits"},
      {replaceLine(5, "number1=hex:3132"), 5, "32 hexadecimal digits"},
      {replaceLine(11, "dial1=yes"), 11, "0 or 1"},
      {replaceLine(22, "day6=2"), 22, "0 or 1"},
      {replaceLine(22, "key1=0123456789ABCDEF"), 22, "given twice"},
      {replaceLine(22, "# day6 left out"), 0, "missing day6: a settings file names all 22"},
      {[&] {
         const std::string t = replaceLine(2, "# key2 left out");
         return t.substr(0, t.find("number3"));
       }(),
       0, "missing key2, number3 to number6, dial1 to dial6, day1 to day6: "},
      {"key1=0123456789ABCDEF\n", 0, "missing key2 to key4, number1 to number6,"},
      {"", 0, "\"set FIELD=VALUE\" changes single fields"},
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
