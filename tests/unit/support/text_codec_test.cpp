#include "support/text_codec.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

std::string AllBytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  return bytes;
}

TEST(SupportTextCodec, EveryByteFromThePanelComesBackUnchanged) {
  const std::string bytes = AllBytes();
  const std::string utf8 = Cp1251ToUtf8(bytes);
  EXPECT_EQ(Utf8ToCp1251(utf8), bytes);
  // No two bytes share a character, or one of them would come back wrong.
  std::set<std::string> characters;
  for (char byte : bytes) characters.insert(Cp1251ToUtf8(std::string(1, byte)));
  EXPECT_EQ(characters.size(), 256u);
}

TEST(SupportTextCodec, CyrillicAndSignsShowAsTheCharactersTheyStandFor) {
  struct Case {
    std::string bytes;
    std::string utf8;
  };
  const Case cases[] = {
      {"\xD3\xF1\xEF\xE5\xF8\xED\xEE", "Успешно"},
      {"\xCE\xF2\xEA\xF0\xFB\xEB\xE8 \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE",
       "Открыли устройство"},
      {"\xC0\xDF\xE0\xFF", "АЯая"},
      {"\xA8\xB8\xB9", "Ёё№"},
      {"\x88\x96\x97\xAB\xBB", "€–—«»"},
      {"\x80\x8A\xA5\xB4\xB2\xB3", "ЂЉҐґІі"},
      {"\x98", "\xC2\x98"},
      {"+T01\r\nOK", "+T01\r\nOK"},
      {std::string("A\0B", 3), std::string("A\0B", 3)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Cp1251ToUtf8(c.bytes), c.utf8) << c.utf8;
    EXPECT_EQ(Utf8ToCp1251(c.utf8), c.bytes) << c.utf8;
  }
}

TEST(SupportTextCodec, CharactersTheCodePageLacksBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1251("é"), "?");
  EXPECT_EQ(Utf8ToCp1251("a中b"), "a?b");
  EXPECT_EQ(Utf8ToCp1251("x\xF0\x9F\x98\x80y"), "x?y");  // an emoji: one character, one mark
  EXPECT_EQ(Utf8ToCp1251("\xC2\x80"), "?");              // U+0080 is not U+0098
}

TEST(SupportTextCodec, MalformedUtf8GivesQuestionMarksAndKeepsTheTextAround) {
  struct Case {
    const char* what;
    std::string utf8;
    std::string bytes;
  };
  const Case cases[] = {
      {"stray continuation byte", "a\x80z", "a?z"},
      {"byte that never starts UTF-8", "a\xFFz", "a?z"},
      {"overlong slash", "a\xC0\xAFz", "a??z"},
      {"overlong three-byte form", "a\xE0\x80\xAFz", "a???z"},
      {"surrogate", "a\xED\xA0\x80z", "a???z"},
      {"beyond U+10FFFF", "a\xF4\x90\x80\x80z", "a????z"},
      {"sequence cut by a plain letter", "a\xD0z", "a?z"},
      {"three-byte sequence cut after two", "a\xE2\x82z", "a?z"},
      {"sequence cut by the end", "a\xE2\x82", "a?"},
      {"lead byte alone at the end", "\xD0", "?"},
      {"cut sequence before a good one", "\xD0\xD0\x90", "?\xC0"},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToCp1251(c.utf8), c.bytes) << c.what;
}

TEST(SupportTextCodec, EmptyTextStaysEmpty) {
  EXPECT_EQ(Cp1251ToUtf8(""), "");
  EXPECT_EQ(Utf8ToCp1251(""), "");
}

}  // namespace
