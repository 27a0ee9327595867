// The decoders of what the panel sends (numbers, flag bytes, keys) over any
// reply data, and the encoders' round trips through them. A conversion error
// is the expected answer to data that is not hexadecimal; anything else that
// escapes, or a wrong value, is a finding.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "panel/encodings.h"
#include "panel/exchange.h"
#include "panel/panel_errors.h"

namespace {

constexpr std::string_view kErrorTail = "' is not a valid integer value";

int Digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One or two hexadecimal digits, as the panel software reads a pair.
std::optional<int> PairValue(std::string_view pair) {
  if (pair.empty() || pair.size() > 2) return std::nullopt;
  int value = 0;
  for (char c : pair) {
    if (Digit(c) < 0) return std::nullopt;
    value = value * 16 + Digit(c);
  }
  return value;
}

void CheckErrorText(const EConvertError& e) {
  const std::string_view message = e.what();
  FUZZ_CHECK(message.substr(0, 2) == "'$" && message.size() >= kErrorTail.size() + 2 &&
                 message.substr(message.size() - kErrorTail.size()) == kErrorTail,
             "a conversion error reads \"'$<pair>' is not a valid integer value\"");
}

void CheckDecodeNumber(std::string_view data) {
  // What the number must be: the pairs from the third character, as long as
  // whole pairs last, up to the first code 0.
  bool valid = true;
  std::string expected;
  for (size_t at = 2; at + 2 <= data.size(); at += 2) {
    const auto value = PairValue(data.substr(at, 2));
    if (!value) {
      valid = false;
      break;
    }
    expected += static_cast<char>(*value);
  }
  expected = expected.substr(0, expected.find('\0'));
  const bool absent = data.empty() || (data.size() >= 2 && data.substr(2) == std::string(32, '0'));
  try {
    const std::optional<std::string> number = DecodeNumber(data);
    FUZZ_CHECK(valid || absent, "a pair that is not hexadecimal is a conversion error");
    FUZZ_CHECK(number.has_value() != absent, "no number exactly when the data says so");
    if (number) FUZZ_CHECK(*number == expected, "the number is the characters its pairs code");
  } catch (const EConvertError& e) {
    FUZZ_CHECK(!valid && !absent, "only data that holds a bad pair fails");
    CheckErrorText(e);
  }
}

void CheckDecodeFlagBytes(std::string_view data) {
  const auto dial = PairValue(data.substr(0, 2));
  const auto day = PairValue(data.size() > 2 ? data.substr(2, 2) : std::string_view());
  try {
    const FlagBytes flags = DecodeFlagBytes(data);
    FUZZ_CHECK(dial && day, "flag bytes that are not hexadecimal are a conversion error");
    FUZZ_CHECK(flags.dial == *dial && flags.day == *day,
               "characters 1-2 are the dial byte, 3-4 the 24-hour byte");
  } catch (const EConvertError& e) {
    FUZZ_CHECK(!dial || !day, "hexadecimal flag bytes always decode");
    CheckErrorText(e);
  }
}

void CheckKeys(std::string_view text) {
  const std::string reversed = ReverseKeyBytes(text);
  FUZZ_CHECK(reversed.size() == 16, "a key text has 16 characters");
  std::string padded = text.size() < 16 ? std::string(16 - text.size(), '0') : std::string();
  padded += text.substr(0, 16 - padded.size());
  for (size_t pair = 0; pair < 8; ++pair)
    FUZZ_CHECK(reversed.compare(pair * 2, 2, padded, 14 - pair * 2, 2) == 0,
               "the eight pairs come in reverse order, each pair unchanged");
  FUZZ_CHECK(ReverseKeyBytes(reversed) == padded, "reversing twice gives the key back");
}

void CheckNumberRoundTrip(std::string_view number) {
  const std::string digits = EncodeNumber(number);
  FUZZ_CHECK(digits.size() == std::max<size_t>(32, number.size() * 2),
             "a number is 32 digits, or two per character when longer");
  for (char c : digits)
    FUZZ_CHECK((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'),
               "a number goes out as upper-case hexadecimal digits");
  // What a number read gives back for it: two unused characters, then the digits.
  const std::optional<std::string> back = DecodeNumber("00" + digits);
  const std::string_view kept = number.substr(0, number.find('\0'));
  if (digits == std::string(32, '0'))
    FUZZ_CHECK(!back, "an empty number reads back as no number");
  else
    FUZZ_CHECK(back && *back == kept, "a written number reads back unchanged");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // A reply text never holds a zero byte: the exchange leaves them out.
  std::string reply(text);
  std::erase(reply, '\0');
  // The input both as reply data and as a reply text the data is cut from.
  const std::string extracted = ExtractReply(reply);
  for (std::string_view replyData : {std::string_view(reply), std::string_view(extracted)}) {
    CheckDecodeNumber(replyData);
    CheckDecodeFlagBytes(replyData);
    CheckKeys(replyData);
  }
  CheckNumberRoundTrip(text);
  return 0;
}
