// The codec between the panel's 8-bit text and UTF-8: every byte string
// survives the trip to UTF-8 and back, and any UTF-8 (or broken UTF-8) comes
// out as 8-bit text that then stays as it is.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "support/text_codec.h"

namespace {

// Well-formed UTF-8: no stray continuation, no overlong form, no surrogate,
// nothing above U+10FFFF.
bool IsUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t length = 0;
    uint32_t code = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      length = 2;
      code = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3;
      code = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      length = 4;
      code = c & 0x07;
    } else {
      return false;
    }
    if (i + length > s.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      code = (code << 6) | (d & 0x3F);
    }
    static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
      return false;
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string utf8 = Cp1251ToUtf8(bytes);
  FUZZ_CHECK(IsUtf8(utf8), "8-bit text becomes well-formed UTF-8");
  FUZZ_CHECK(Utf8ToCp1251(utf8) == bytes, "every byte the panel sends comes back unchanged");

  const std::string narrowed = Utf8ToCp1251(bytes);
  FUZZ_CHECK(narrowed.size() <= bytes.size(), "one byte at most for each UTF-8 byte");
  FUZZ_CHECK(Utf8ToCp1251(Cp1251ToUtf8(narrowed)) == narrowed,
             "text once made 8-bit stays as it is");
  if (IsUtf8(bytes) && narrowed.find('?') == std::string::npos)
    FUZZ_CHECK(Cp1251ToUtf8(narrowed) == bytes, "UTF-8 the code page can hold loses nothing");
  return 0;
}
