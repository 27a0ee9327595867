#pragma once
// How keys, numbers and flags travel between the panel and the window.
//
// Every text here is 8-bit text in code page 1251, byte for byte as it stands
// on the serial line (a std::string holds the bytes). Error messages are UTF-8
// (see panel_errors.h).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Six ticks, event 1 first.
using EventTicks = std::array<bool, 6>;

// The two flag bytes as the panel sends them: the dial byte first.
struct FlagBytes {
  uint8_t dial = 0;
  uint8_t day = 0;  // the 24-hour byte
};

// Pads the text with leading "0" to 16 characters, keeps the first 16 and
// reverses the order of the eight pairs: panel order <-> display order.
// Characters are passed on unchanged, whatever they are.
std::string ReverseKeyBytes(std::string_view text);

// Each character's code as two upper-case hexadecimal digits, padded with "0"
// to at least 32 digits. Nothing is cut.
std::string EncodeNumber(std::string_view number);

// The reply data of a number read: absent when the data is empty or holds 32
// zeros after its first two characters; otherwise the characters coded from
// the third character on, up to the first code 0. Raises EConvertError on a
// pair that is not hexadecimal.
std::optional<std::string> DecodeNumber(std::string_view data);

// Bit k-1 set for each ticked event k, as two upper-case hexadecimal digits.
std::string EncodeFlagByte(const EventTicks& ticks);

// Characters 1-2 of the reply data are the dial byte, 3-4 the 24-hour byte; a
// pair cut short by the end of the data is what is left of it. Raises
// EConvertError when a pair is not hexadecimal, also when it is empty.
FlagBytes DecodeFlagBytes(std::string_view data);

// A pair read as the panel software always has: "$" and the pair converted as
// a hexadecimal integer. Raises EConvertError with "'$<pair>' is not a valid
// integer value".
uint8_t HexPairValue(std::string_view pair);

// The byte as two upper-case hexadecimal digits.
std::string HexPair(uint8_t value);

// The text with the letters a to z made upper case and every other byte as it
// is: hexadecimal digits compared and sent as the panel sends them.
std::string AsciiUpper(std::string_view text);
