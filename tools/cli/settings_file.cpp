#include "tools/cli/settings_file.h"

#include <map>
#include <optional>

#include "support/text_codec.h"

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

size_t CountCharacters(std::string_view utf8) {
  size_t count = 0;
  for (unsigned char c : utf8)
    if ((c & 0xC0) != 0x80) ++count;
  return count;
}

// The panel carries 8-bit text: a character it cannot carry would be sent as
// something else, so it is refused instead.
bool FitsThePanel(std::string_view utf8) {
  return Cp1251ToUtf8(Utf8ToCp1251(utf8)) == utf8;
}

// name -> (kind, index): 'k' key, 'n' number, 'd' dial, 'h' 24-hour.
std::optional<std::pair<char, int>> Slot(std::string_view name) {
  struct Family {
    std::string_view prefix;
    char kind;
    int count;
  };
  static constexpr Family kFamilies[] = {
      {"key", 'k', 4}, {"number", 'n', 6}, {"dial", 'd', 6}, {"day", 'h', 6}};
  for (const Family& f : kFamilies) {
    if (name.size() != f.prefix.size() + 1 || name.substr(0, f.prefix.size()) != f.prefix) continue;
    const int index = name.back() - '1';
    if (index >= 0 && index < f.count) return std::make_pair(f.kind, index);
  }
  return std::nullopt;
}

}  // namespace

PanelSettings ParseSettingsFile(std::string_view text) {
  PanelSettings settings;
  std::map<std::string, int> seen;
  int lineNumber = 0;
  size_t start = 0;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") start = 3;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    ++lineNumber;
    if (line.empty() || line.front() == '#') continue;

    const size_t eq = line.find('=');
    if (eq == std::string_view::npos)
      throw SettingsFileError(lineNumber, "expected name=value, got \"" + std::string(line) + "\"");
    const std::string name(Trim(line.substr(0, eq)));
    const std::string value(Trim(line.substr(eq + 1)));
    const auto slot = Slot(name);
    if (!slot) throw SettingsFileError(lineNumber, "unknown name \"" + name + "\"");
    if (!seen.emplace(name, lineNumber).second)
      throw SettingsFileError(lineNumber, "\"" + name + "\" is given twice");
    if (!FitsThePanel(value))
      throw SettingsFileError(lineNumber, name + ": a character the panel cannot hold");

    const auto [kind, index] = *slot;
    switch (kind) {
      case 'k':
        if (CountCharacters(value) != 16)
          throw SettingsFileError(lineNumber, name + " must have 16 characters, has " +
                                                  std::to_string(CountCharacters(value)));
        settings.keys[index] = value;
        break;
      case 'n':
        settings.numbers[index] = value;
        break;
      default:
        if (value != "0" && value != "1")
          throw SettingsFileError(lineNumber, name + " must be 0 or 1, is \"" + value + "\"");
        (kind == 'd' ? settings.dial : settings.day)[index] = value == "1";
        break;
    }
  }
  for (const char* family : {"key", "number", "dial", "day"}) {
    const int count = std::string_view(family) == "key" ? 4 : 6;
    for (int i = 1; i <= count; ++i) {
      const std::string name = family + std::to_string(i);
      if (!seen.count(name)) throw SettingsFileError(lineNumber + 1, "\"" + name + "\" is missing");
    }
  }
  return settings;
}

std::string FormatSettingsFile(const PanelSettings& settings) {
  std::string out;
  for (int i = 0; i < 4; ++i) out += "key" + std::to_string(i + 1) + "=" + settings.keys[i] + "\n";
  for (int i = 0; i < 6; ++i)
    out += "number" + std::to_string(i + 1) + "=" + settings.numbers[i] + "\n";
  for (int i = 0; i < 6; ++i)
    out += "dial" + std::to_string(i + 1) + "=" + (settings.dial[i] ? "1" : "0") + "\n";
  for (int i = 0; i < 6; ++i)
    out += "day" + std::to_string(i + 1) + "=" + (settings.day[i] ? "1" : "0") + "\n";
  return out;
}
