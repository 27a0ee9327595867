// Keys, numbers and flags as they travel between the panel and the window.

#include <gtest/gtest.h>

#include "panel/commands.h"
#include "panel/encodings.h"
#include "panel/panel_errors.h"
#include "support/text_codec.h"

namespace {

const std::string kZeros32(32, '0');

std::string Repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

TEST(ReverseKeyBytes, PadsCutsAndReversesPairs) {
  struct Case {
    std::string text;
    std::string key;
  };
  for (const Case& c : {
           Case{"", std::string(16, '0')}, Case{"ABCD", "CDAB000000000000"},
           Case{"0123456789ABCDEF", "EFCDAB8967452301"},
           Case{"0123456789ABCDEFGHIJ", "EFCDAB8967452301"},  // only the first 16 count
           Case{"0123456789abcdef", "efcdab8967452301"},      // no case change
           Case{"zz\xC0\xC1", "\xC0\xC1zz000000000000"},      // nothing is validated
           Case{"123", "2301000000000000"},                   // odd length: "0123"
       }) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ReverseKeyBytes(c.text), c.key);
  }
}

TEST(ReverseKeyBytes, TwiceGivesTheKeyBack) {
  const std::string key = "09F8E7D6C5B4A312";
  EXPECT_EQ(ReverseKeyBytes(ReverseKeyBytes(key)), key);
}

TEST(EncodeNumber, TwoUpperCaseDigitsPerCharacterPaddedTo32) {
  struct Case {
    std::string number;
    std::string digits;
  };
  for (const Case& c : {
           Case{"", kZeros32}, Case{"12", "3132" + std::string(28, '0')},
           Case{"+", "2B" + std::string(30, '0')}, Case{"\x05\xC0", "05C0" + std::string(28, '0')},
           Case{std::string(16, '9'), Repeat("39", 16)},
           Case{std::string(17, '9'), Repeat("39", 17)},  // nothing is cut
       }) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(EncodeNumber(c.number), c.digits);
  }
}

TEST(DecodeNumber, ReadsTheCodesAfterTheFirstTwoCharacters) {
  struct Case {
    std::string data;
    std::optional<std::string> number;
  };
  for (const Case& c : {
           Case{"", std::nullopt},
           Case{"xx" + kZeros32, std::nullopt},
           Case{"xx" + std::string(30, '0'), std::string()},  // present, but empty
           Case{"xx" + std::string(34, '0'), std::string()},
           Case{"xx3132" + std::string(28, '0'), std::string("12")},
           Case{"xx2b" + std::string(30, '0'), std::string("+")},      // either case
           Case{"xx" + Repeat("31", 16) + "7", std::string(16, '1')},  // odd length
           Case{"xx310032", std::string("1")},                         // up to the first code 0
           Case{"xxC0", std::string("\xC0")},
           Case{"ab", std::string()},
           Case{"abc", std::string()},
       }) {
    SCOPED_TRACE(c.data);
    EXPECT_EQ(DecodeNumber(c.data), c.number);
  }
}

TEST(DecodeNumber, ANonHexadecimalPairIsAConversionError) {
  struct Case {
    std::string data;
    std::string message;
  };
  for (const Case& c : {
           Case{"xx3G" + std::string(28, '0'), "'$3G' is not a valid integer value"},
           Case{"xx31 1", "'$ 1' is not a valid integer value"},
           // Bytes from the panel are code page 1251; the message is UTF-8.
           Case{"xx\xC0\xC1", "'$АБ' is not a valid integer value"},
       }) {
    SCOPED_TRACE(c.data);
    try {
      DecodeNumber(c.data);
      ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

TEST(EncodeFlagByte, TicksBecomeBitsAsTwoUpperCaseDigits) {
  struct Case {
    EventTicks ticks;
    std::string digits;
  };
  for (const Case& c : {
           Case{{false, false, false, false, false, false}, "00"},
           Case{{true, false, true, false, false, false}, "05"},
           Case{{false, false, false, false, false, true}, "20"},
           Case{{true, true, true, true, true, true}, "3F"},
           Case{{false, true, false, true, true, false}, "1A"},
       }) {
    SCOPED_TRACE(c.digits);
    EXPECT_EQ(EncodeFlagByte(c.ticks), c.digits);
  }
}

TEST(DecodeFlagBytes, DialByteFirstThenTheTwentyFourHourByte) {
  struct Case {
    std::string data;
    int dial;
    int day;
  };
  for (const Case& c : {
           Case{"3F01", 63, 1},
           Case{"0a0B", 10, 11},
           Case{"3F0", 63, 0},  // a pair cut short is what is left of it
           Case{"3F01FF", 63, 1},
           Case{"FFFF", 255, 255},
       }) {
    SCOPED_TRACE(c.data);
    const FlagBytes flags = DecodeFlagBytes(c.data);
    EXPECT_EQ(flags.dial, c.dial);
    EXPECT_EQ(flags.day, c.day);
  }
}

TEST(DecodeFlagBytes, ShortOrBadDataIsAConversionError) {
  struct Case {
    std::string data;
    std::string message;
  };
  for (const Case& c : {
           Case{"3F", "'$' is not a valid integer value"},
           Case{"3", "'$' is not a valid integer value"},
           Case{"", "'$' is not a valid integer value"},
           Case{"G101", "'$G1' is not a valid integer value"},
           Case{"3F-1", "'$-1' is not a valid integer value"},
       }) {
    SCOPED_TRACE(c.data);
    try {
      DecodeFlagBytes(c.data);
      ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

TEST(Commands, TextsAndLengthsAsThePanelExpectsThem) {
  EXPECT_EQ(KeyReadCommand(4), "+T04");
  EXPECT_EQ(KeyWriteCommand(2, std::string(16, '0')).size(), 20u);
  EXPECT_EQ(FlagsWriteCommand("05", "00"), "+s0500");
  EXPECT_EQ(NumberReadCommand(6), "+H06");
  EXPECT_EQ(NumberWriteCommand(3, EncodeNumber("12")), "+H033132" + std::string(28, '0'));
  EXPECT_EQ(NumberWriteCommand(1, EncodeNumber("")).size(), 36u);
}

TEST(Commands, NumbersOutsideTheSlotsAndEventsAreRefused) {
  EXPECT_THROW(KeyReadCommand(0), std::out_of_range);
  EXPECT_THROW(KeyReadCommand(5), std::out_of_range);
  EXPECT_THROW(NumberReadCommand(0), std::out_of_range);
  EXPECT_THROW(NumberReadCommand(7), std::out_of_range);
}

TEST(EventTable, ControlNamesAndBitsFollowTheEventNumber) {
  for (const PanelEvent& e : kPanelEvents) {
    const std::string n = std::to_string(e.number);
    EXPECT_EQ(e.numberField, "NumE" + n);
    EXPECT_EQ(e.dialBox, "Call" + n);
    EXPECT_EQ(e.dayBox, "H24" + n);
    EXPECT_EQ(e.bit, 1 << (e.number - 1));
  }
  EXPECT_STREQ(kPanelEvents[4].caption, "Снятие с охраны");
}

}  // namespace
