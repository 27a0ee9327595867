#include "support/registry_text.h"

#include <cstdio>
#include <utility>

#include "support/registry_key.h"
#include "support/text_codec.h"

namespace {

constexpr std::string_view kHive = "HKEY_CURRENT_USER\\";

// A fault in the text, before it is tied to its file.
struct TextFault {
  int line;
  const char* reason;
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to maxDigits hex digits and nothing else.
bool ParseHex(std::string_view s, size_t maxDigits, uint32_t& out) {
  if (s.empty() || s.size() > maxDigits) return false;
  out = 0;
  for (char c : s) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    out = out * 16 + static_cast<uint32_t>(d);
  }
  return true;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && SameRegistryName(s.substr(0, prefix.size()), prefix);
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// A quoted text starting at s[0] == '"'; moves s past the closing quote.
std::string ParseQuoted(std::string_view& s, int line) {
  std::string out;
  size_t i = 1;
  for (;; ++i) {
    if (i >= s.size()) throw TextFault{line, "a text without its closing quote"};
    const char c = s[i];
    if (c == '"') break;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i >= s.size()) throw TextFault{line, "a text without its closing quote"};
    switch (s[i]) {
      case '\\':
        out += '\\';
        break;
      case '"':
        out += '"';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        throw TextFault{line, "an unknown escape after a backslash"};
    }
  }
  s.remove_prefix(i + 1);
  return out;
}

std::string Escaped(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out + '"';
}

std::string ParseByteList(std::string_view list, int line) {
  std::string bytes;
  list = TrimRight(TrimLeft(list));
  while (!list.empty()) {
    const size_t comma = list.find(',');
    const std::string_view token = TrimRight(TrimLeft(list.substr(0, comma)));
    uint32_t byte = 0;
    if (!ParseHex(token, 2, byte)) throw TextFault{line, "a malformed byte list"};
    bytes += static_cast<char>(byte);
    if (comma == std::string_view::npos) break;
    list = TrimLeft(list.substr(comma + 1));  // a trailing comma ends the list
  }
  return bytes;
}

RegValue ParseData(std::string_view s, int line) {
  if (!s.empty() && s.front() == '"') {
    RegValue value = RegValue::Text(ParseQuoted(s, line));
    if (!TrimRight(s).empty()) throw TextFault{line, "text after the value"};
    return value;
  }
  s = TrimRight(s);
  uint32_t number = 0;
  if (StartsWithNoCase(s, "dword:")) {
    if (!ParseHex(s.substr(6), 8, number)) throw TextFault{line, "a malformed number"};
    return RegValue::Number(number);
  }
  RegValue value;
  if (StartsWithNoCase(s, "hex:")) {
    value.type = kRegBinary;
    s.remove_prefix(4);
  } else if (StartsWithNoCase(s, "hex(")) {
    const size_t close = s.find("):");
    if (close == std::string_view::npos || !ParseHex(s.substr(4, close - 4), 8, value.type)) {
      throw TextFault{line, "a malformed value type"};
    }
    s.remove_prefix(close + 2);
  } else {
    throw TextFault{line, "a value of an unknown form"};
  }
  value.bytes = ParseByteList(s, line);
  return value;
}

std::string FormatValue(std::string_view name, const RegValue& value) {
  std::string line = name.empty() ? std::string("@") : Escaped(name);
  line += '=';
  if (value.IsNumber()) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "dword:%08x", static_cast<unsigned>(value.AsNumber()));
    return line + digits;
  }
  if (value.type == kRegSz && value.bytes.find('\0') == std::string::npos) {
    return line + Escaped(value.bytes);
  }
  char type[16];
  if (value.type == kRegBinary) {
    line += "hex:";
  } else {
    std::snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(value.type));
    line += type;
  }
  for (size_t i = 0; i < value.bytes.size(); ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, i == 0 ? "%02x" : ",%02x",
                  static_cast<unsigned>(static_cast<unsigned char>(value.bytes[i])));
    line += byte;
  }
  return line;
}

std::string SectionHeader(std::string_view keyPath) {
  return std::string(kHive) + std::string(keyPath);
}

bool IsBlankLine(std::string_view line) {
  return TrimRight(line).empty();
}

}  // namespace

RegValue RegValue::Number(uint32_t number) {
  RegValue value;
  value.type = kRegDword;
  for (int i = 0; i < 4; ++i) value.bytes += static_cast<char>((number >> (8 * i)) & 0xFF);
  return value;
}

RegValue RegValue::Text(std::string_view utf8) {
  RegValue value;
  value.type = kRegSz;
  value.bytes = std::string(utf8.substr(0, utf8.find('\0')));
  return value;
}

bool RegValue::IsNumber() const {
  return type == kRegDword && bytes.size() == 4;
}

bool RegValue::IsText() const {
  return type == kRegSz || type == kRegExpandSz;
}

uint32_t RegValue::AsNumber() const {
  uint32_t number = 0;
  for (int i = 3; i >= 0; --i) number = number << 8 | static_cast<unsigned char>(bytes[i]);
  return number;
}

std::string RegValue::AsText() const {
  return bytes.substr(0, bytes.find('\0'));
}

RegDocument RegDocument::Parse(std::string_view text, const std::string& fileName) {
  RegDocument doc;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  const std::vector<std::string_view> lines = SplitLines(text);
  bool allBlank = true;
  for (std::string_view line : lines) allBlank = allBlank && IsBlankLine(line);
  if (allBlank) return doc;
  try {
    if (TrimRight(lines[0]) != "REGEDIT4") throw TextFault{1, "the first line is not REGEDIT4"};
    for (size_t i = 1; i < lines.size(); ++i) {
      const int number = static_cast<int>(i + 1);
      const std::string_view line = lines[i];
      const std::string_view body = TrimLeft(line);
      Item item;
      item.raw = std::string(line);
      if (body.empty() || body.front() == ';') {
        // kept as it is, below
      } else if (body.front() == '[') {
        const std::string_view inner = TrimRight(body);
        if (inner.size() < 2 || inner.back() != ']') {
          throw TextFault{number, "a key name without its closing bracket"};
        }
        doc.sections_.push_back({std::string(inner.substr(1, inner.size() - 2)), {}});
        continue;
      } else if (body.front() == '"' || body.front() == '@') {
        if (doc.sections_.empty()) throw TextFault{number, "a value before the first key"};
        std::string_view rest = body;
        if (rest.front() == '@') {
          rest.remove_prefix(1);
        } else {
          item.name = ParseQuoted(rest, number);
        }
        rest = TrimLeft(rest);
        if (rest.empty() || rest.front() != '=') throw TextFault{number, "no '=' after the name"};
        rest = TrimLeft(rest.substr(1));
        std::string data(rest);
        // A byte list may go on over several lines, each but the last ending
        // with a backslash.
        if (!rest.empty() && rest.front() != '"') {
          while (!data.empty() && TrimRight(data).back() == '\\') {
            data = std::string(TrimRight(data));
            data.pop_back();
            if (++i >= lines.size()) throw TextFault{number, "a byte list cut off by the end"};
            data += TrimLeft(lines[i]);
            item.raw += '\n';
            item.raw += lines[i];
          }
        }
        item.value = ParseData(data, number);
        item.isValue = true;
      } else {
        throw TextFault{number, "a line that is neither a key nor a value"};
      }
      if (doc.sections_.empty()) {
        doc.preamble_.push_back(std::move(item.raw));
      } else {
        doc.sections_.back().items.push_back(std::move(item));
      }
    }
  } catch (const TextFault& fault) {
    throw ESettingsFileError(fileName, fault.line, fault.reason);
  }
  return doc;
}

std::string RegDocument::Serialize() const {
  std::string text = "REGEDIT4\n";
  for (const std::string& line : preamble_) text += line + '\n';
  for (const Section& section : sections_) {
    text += '[' + section.header + "]\n";
    for (const Item& item : section.items) {
      text += item.raw.empty() && item.isValue ? FormatValue(item.name, item.value) : item.raw;
      text += '\n';
    }
  }
  return text;
}

const RegDocument::Section* RegDocument::FindSection(std::string_view keyPath) const {
  // The last of several sections of one key: its values were imported last.
  const std::string header = SectionHeader(keyPath);
  for (auto it = sections_.rbegin(); it != sections_.rend(); ++it) {
    if (SameStoredName(it->header, header)) return &*it;
  }
  return nullptr;
}

RegDocument::Section* RegDocument::FindSection(std::string_view keyPath) {
  return const_cast<Section*>(std::as_const(*this).FindSection(keyPath));
}

bool RegDocument::HasKey(std::string_view keyPath) const {
  return FindSection(keyPath) != nullptr;
}

void RegDocument::EndWithBlankLine() {
  std::vector<std::string>* lines = &preamble_;
  if (!sections_.empty()) {
    auto& items = sections_.back().items;
    if (items.empty() || items.back().isValue || !IsBlankLine(items.back().raw)) {
      items.push_back(Item{false, {}, {}, ""});
    }
    return;
  }
  if (lines->empty() || !IsBlankLine(lines->back())) lines->push_back("");
}

void RegDocument::AddKey(std::string_view keyPath) {
  if (HasKey(keyPath)) return;
  EndWithBlankLine();
  sections_.push_back({SectionHeader(keyPath), {}});
  sections_.back().items.push_back(Item{false, {}, {}, ""});
}

const RegValue* RegDocument::FindValue(std::string_view keyPath, std::string_view name) const {
  const std::string header = SectionHeader(keyPath);
  const RegValue* found = nullptr;
  for (const Section& section : sections_) {
    if (!SameStoredName(section.header, header)) continue;
    for (const Item& item : section.items) {
      if (item.isValue && SameStoredName(item.name, name)) found = &item.value;
    }
  }
  return found;
}

void RegDocument::SetValue(std::string_view keyPath, std::string_view name, const RegValue& value) {
  const std::string header = SectionHeader(keyPath);
  Item* found = nullptr;
  for (Section& section : sections_) {
    if (!SameStoredName(section.header, header)) continue;
    for (Item& item : section.items) {
      if (item.isValue && SameStoredName(item.name, name)) found = &item;
    }
  }
  if (found == nullptr) {
    AddKey(keyPath);
    auto& items = FindSection(keyPath)->items;
    // After the key's last value, before the blank lines that part it from
    // the next key.
    size_t at = 0;
    for (size_t i = 0; i < items.size(); ++i) {
      if (items[i].isValue) at = i + 1;
    }
    found = &*items.insert(items.begin() + static_cast<std::ptrdiff_t>(at),
                           Item{true, std::string(name), {}, {}});
  }
  found->value = value;
  found->raw.clear();
}

void RegDocument::RemoveValue(std::string_view keyPath, std::string_view name) {
  const std::string header = SectionHeader(keyPath);
  for (Section& section : sections_) {
    if (!SameStoredName(section.header, header)) continue;
    std::erase_if(section.items, [&](const Item& item) {
      return item.isValue && SameStoredName(item.name, name);
    });
  }
}

bool SameStoredName(std::string_view a, std::string_view b) {
  const std::string a8 = Utf8ToCp1251(a);
  const std::string b8 = Utf8ToCp1251(b);
  // A name that code page 1251 cannot spell is matched exactly, not through
  // the '?' that stands in for its characters.
  if (Cp1251ToUtf8(a8) != a || Cp1251ToUtf8(b8) != b) return a == b;
  return SameRegistryName(a8, b8);
}
