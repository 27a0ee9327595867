// The settings file: any text either parses or is refused with a
// SettingsFileError naming a line of the file, or line 0 for a fault of the
// whole file (fields missing, which no one line holds); what parses formats to a
// file that parses to the same panel, and every value is one the panel holds.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "panel/settings_file.h"

namespace {

bool IsPanelHex(const std::string& text, size_t digits) {
  return text.size() == digits && std::all_of(text.begin(), text.end(), [](unsigned char c) {
           return std::isdigit(c) || (c >= 'A' && c <= 'F');
         });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  PanelImage image;
  try {
    image = ParseSettingsFile(text);
  } catch (const SettingsFileError& e) {
    const auto lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
    FUZZ_CHECK(e.line() >= 0 && e.line() <= lines + 1,
               "a refusal names a line of the file, or none for the whole file");
    FUZZ_CHECK(e.line() > 0 || std::string_view(e.what()).starts_with("missing "),
               "only missing fields are a fault of the whole file");
    return 0;
  }
  for (const std::string& key : image.keys)
    FUZZ_CHECK(IsPanelHex(key, 16), "a key goes out as 16 upper-case hexadecimal digits");
  for (const std::string& number : image.numbers)
    FUZZ_CHECK(IsPanelHex(number, 32), "a number goes out as 32 upper-case hexadecimal digits");
  FUZZ_CHECK(image.dial <= 0x3F && image.day <= 0x3F, "flag bits 6 and 7 are never set");

  const std::string formatted = FormatSettingsFile(image, "header");
  PanelImage again;
  try {
    again = ParseSettingsFile(formatted);
  } catch (const SettingsFileError&) {
    FUZZ_CHECK(false, "a file the tool writes is one it reads");
  }
  FUZZ_CHECK(again == image, "writing and reading a file loses nothing");
  FUZZ_CHECK(FormatSettingsFile(again, "header") == formatted, "a file written twice is the same");
  return 0;
}
