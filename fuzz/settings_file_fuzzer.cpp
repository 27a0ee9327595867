// The command-line tool's settings file: any text either parses or is refused
// with a SettingsFileError naming a line of the file; what parses formats to a
// file that parses to the same values, and every value fits the panel.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "support/text_codec.h"
#include "tools/cli/settings_file.h"

namespace {

bool SameSettings(const PanelSettings& a, const PanelSettings& b) {
  return a.keys == b.keys && a.numbers == b.numbers && a.dial == b.dial && a.day == b.day;
}

bool FitsThePanel(const std::string& utf8) {
  return Cp1251ToUtf8(Utf8ToCp1251(utf8)) == utf8;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  PanelSettings settings;
  try {
    settings = ParseSettingsFile(text);
  } catch (const SettingsFileError& e) {
    const auto lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
    FUZZ_CHECK(e.line() >= 1 && e.line() <= lines + 1, "a refusal names a line of the file");
    return 0;
  }
  for (const std::string& key : settings.keys)
    FUZZ_CHECK(FitsThePanel(key), "a key the panel cannot hold is refused");
  for (const std::string& number : settings.numbers)
    FUZZ_CHECK(FitsThePanel(number), "a number the panel cannot hold is refused");

  const std::string formatted = FormatSettingsFile(settings);
  PanelSettings again;
  try {
    again = ParseSettingsFile(formatted);
  } catch (const SettingsFileError&) {
    FUZZ_CHECK(false, "a file the tool writes is one it reads");
  }
  FUZZ_CHECK(SameSettings(settings, again), "writing and reading a file loses nothing");
  FUZZ_CHECK(FormatSettingsFile(again) == formatted, "a file written twice is the same file");
  return 0;
}
