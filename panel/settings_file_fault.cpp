#include "panel/settings_file_fault.h"

#include <algorithm>
#include <set>

#include "panel/commands.h"

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// A zero byte or a control character other than tab and the line ends: a
// program, a picture, an archive, never a settings file someone wrote.
bool HoldsBinary(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 && c != '\t' && c != '\r' && c != '\n';
  });
}

// The lines as the parser splits them, trimmed; a byte-order mark left out.
std::vector<std::string_view> Lines(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(Trim(text.substr(start, end - start)));
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> AllNames() {
  std::vector<std::string> names;
  for (const char* family : {"key", "number", "dial", "day"}) {
    const int count = std::string_view(family) == "key" ? kKeySlots : kEventCount;
    for (int i = 1; i <= count; ++i) names.push_back(family + std::to_string(i));
  }
  return names;
}

}  // namespace

SettingsFileFault DescribeSettingsFault(std::string_view text, const SettingsFileError& error) {
  SettingsFileFault fault;
  if (HoldsBinary(text)) return fault;
  const std::vector<std::string_view> lines = Lines(text);
  std::set<std::string> seen;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    const int number = static_cast<int>(i) + 1;
    if (line.empty() || line.front() == '#') continue;
    const size_t eq = line.find('=');
    if (number == error.line()) {
      fault.line = number;
      if (eq == std::string_view::npos) {
        fault.kind = SettingsFault::kNoEquals;
        return fault;
      }
      fault.name = std::string(Trim(line.substr(0, eq)));
      fault.value = std::string(Trim(line.substr(eq + 1)));
      fault.kind = !SettingsFieldSlot(fault.name) ? SettingsFault::kUnknownName
                   : seen.count(fault.name)       ? SettingsFault::kTwice
                                                  : SettingsFault::kBadValue;
      return fault;
    }
    if (eq != std::string_view::npos) seen.insert(std::string(Trim(line.substr(0, eq))));
  }
  fault.kind = SettingsFault::kMissing;
  for (const std::string& name : AllNames())
    if (!seen.count(name)) fault.missing.push_back(name);
  return fault;
}
