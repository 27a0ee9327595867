#include "panel/encodings.h"

#include <algorithm>

#include "panel/panel_errors.h"
#include "panel/panel_fields.h"
#include "support/text_codec.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string HexPair(uint8_t value) {
  return {kHexDigits[value >> 4], kHexDigits[value & 0x0F]};
}

uint8_t HexPairValue(std::string_view pair) {
  // "$" alone, or "$" with anything but one or two hexadecimal digits, is
  // no integer.
  int value = 0;
  bool valid = !pair.empty() && pair.size() <= 2;
  for (char c : pair) {
    int digit = HexDigitValue(c);
    if (digit < 0) {
      valid = false;
      break;
    }
    value = value * 16 + digit;
  }
  if (!valid) {
    // The pair comes from the panel: its bytes are code page 1251.
    throw EConvertError("'$" + Cp1251ToUtf8(pair) + "' is not a valid integer value");
  }
  return static_cast<uint8_t>(value);
}

std::string ReverseKeyBytes(std::string_view text) {
  std::string padded;
  if (text.size() < kKeyDigits) padded.assign(kKeyDigits - text.size(), '0');
  padded.append(text.substr(0, kKeyDigits - padded.size()));
  std::string reversed;
  reversed.reserve(kKeyDigits);
  for (size_t pair = kKeyDigits / 2; pair-- > 0;) reversed.append(padded, pair * 2, 2);
  return reversed;
}

std::string EncodeNumber(std::string_view number) {
  std::string digits;
  digits.reserve(std::max<size_t>(kNumberDigits, number.size() * 2));
  for (char c : number) digits += HexPair(static_cast<uint8_t>(c));
  if (digits.size() < kNumberDigits) digits.append(kNumberDigits - digits.size(), '0');
  return digits;
}

std::optional<std::string> DecodeNumber(std::string_view data) {
  if (data.empty()) return std::nullopt;
  if (data.size() == 2 + kNumberDigits && data.find_first_not_of('0', 2) == std::string_view::npos)
    return std::nullopt;
  // The first two characters are not part of the number.
  std::string number;
  const size_t pairs = data.size() / 2 >= 1 ? data.size() / 2 - 1 : 0;
  for (size_t i = 1; i <= pairs; ++i) {
    number += static_cast<char>(HexPairValue(data.substr(2 * i, 2)));
  }
  const size_t end = number.find('\0');
  if (end != std::string::npos) number.resize(end);
  return number;
}

std::string EncodeFlagByte(const EventTicks& ticks) {
  uint8_t value = 0;
  for (size_t k = 0; k < ticks.size(); ++k) {
    if (ticks[k]) value = static_cast<uint8_t>(value | (1u << k));
  }
  std::string digits;
  digits += HexPair(value);
  return digits;
}

FlagBytes DecodeFlagBytes(std::string_view data) {
  FlagBytes flags;
  flags.dial = HexPairValue(data.substr(0, std::min<size_t>(2, data.size())));
  flags.day = HexPairValue(data.size() > 2 ? data.substr(2, 2) : std::string_view());
  return flags;
}

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  // Not toupper: under a code-page locale it would change Cyrillic bytes too.
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}
