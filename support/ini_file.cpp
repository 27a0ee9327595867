#include "support/ini_file.h"

#include <fstream>
#include <string_view>

namespace {

// A settings file is a few lines long; a larger one is surely not ours, and
// reading it whole would cost without end (a device, a huge log).
constexpr size_t kMaxIniSize = 1 << 20;

bool ReadWholeFile(const std::string& path, std::string& text) {
  std::ifstream file(path, std::ios::binary);
  if (!file.is_open()) return false;
  char chunk[4096];
  for (;;) {
    file.read(chunk, sizeof chunk);
    text.append(chunk, static_cast<size_t>(file.gcount()));
    if (text.size() > kMaxIniSize || file.bad()) return false;
    if (!file) return file.eof();
  }
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

std::string ReadIniString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& defaultValue) {
  std::string text;
  if (!ReadWholeFile(path, text)) return defaultValue;
  std::string_view rest(text);
  if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);
  bool inSection = false;
  while (!rest.empty()) {
    const size_t end = rest.find_first_of("\r\n");
    const std::string_view line = Trim(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      const size_t nameLength = close == std::string_view::npos ? close : close - 1;
      inSection = SameName(Trim(line.substr(1, nameLength)), section);
      continue;
    }
    const size_t equals = line.find('=');
    if (!inSection || equals == std::string_view::npos) continue;
    if (SameName(Trim(line.substr(0, equals)), key)) {
      return std::string(Unquote(Trim(line.substr(equals + 1))));
    }
  }
  return defaultValue;
}
