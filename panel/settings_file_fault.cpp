#include "panel/settings_file_fault.h"

#include <algorithm>

namespace {

// Control characters other than tab and the line ends, more than a stray
// few: a program, a picture, an archive, never a settings file someone
// wrote. A text file with a stray one is read as text, and its line named.
bool HoldsBinary(std::string_view text) {
  constexpr size_t kStrayLimit = 8;
  const auto control = std::count_if(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 && c != '\t' && c != '\r' && c != '\n';
  });
  return static_cast<size_t>(control) > kStrayLimit;
}

// The window's settings store (user.reg, or a registry export on Windows):
// said to be that, rather than refused by its first line. Looked for in the
// first line's letters whatever the encoding: UTF-16 puts a zero byte beside
// each, an editor may put a byte order mark first.
bool IsSettingsStore(std::string_view text) {
  std::string head;
  for (char c : text.substr(0, 64))
    if (c != '\0') head += c;
  for (const char* mark : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"})
    if (head.starts_with(mark)) head.erase(0, std::char_traits<char>::length(mark));
  return head.starts_with("REGEDIT4") || head.starts_with("Windows Registry Editor");
}

bool IsUtf16(std::string_view text) {
  // ASCII in UTF-16 without a byte order mark: every other byte is zero.
  return text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF") ||
         (text.size() >= 2 && (text[0] == '\0' || text[1] == '\0'));
}

SettingsFault CheckBytes(std::string_view text) {
  if (text.size() > kSettingsFileLimit) return SettingsFault::kTooLarge;
  if (IsSettingsStore(text)) return SettingsFault::kSettingsStore;
  if (IsUtf16(text)) return SettingsFault::kUtf16;
  if (text.find('\r') != std::string_view::npos && text.find('\n') == std::string_view::npos)
    return SettingsFault::kCrOnlyLineEnds;
  if (HoldsBinary(text)) return SettingsFault::kNotText;
  return SettingsFault::kNone;
}

}  // namespace

SettingsVerdict JudgeSettingsFile(std::string_view bytes) {
  SettingsVerdict verdict;
  verdict.fault.kind = CheckBytes(bytes);
  if (verdict.fault.kind != SettingsFault::kNone) return verdict;
  try {
    verdict.image = ParseSettingsFile(bytes);
  } catch (const SettingsFileError& error) {
    verdict.fault = error.Fault();
    verdict.message = error.what();
  }
  return verdict;
}
