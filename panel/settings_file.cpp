#include "panel/settings_file.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>

#include "panel/encodings.h"

namespace {

constexpr size_t kPlainNumberLimit = 16;
constexpr std::string_view kHexPrefix = "hex:";

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool AllHex(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](unsigned char c) { return std::isxdigit(c) != 0; });
}

bool Dialable(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return (c >= '0' && c <= '9') || c == '+'; });
}

void SetFlag(uint8_t& byte, int index, bool on) {
  const auto bit = static_cast<uint8_t>(1u << index);
  byte = on ? static_cast<uint8_t>(byte | bit) : static_cast<uint8_t>(byte & ~bit);
}

// "key2, number1 to number6": every name not seen, a run of three or more of
// one family given by its ends.
std::string MissingNames(const std::map<std::string, int>& seen) {
  std::string text;
  for (const FieldFamilyInfo& info : kFieldFamilies) {
    const auto name = [&](int i) { return FieldName({info.family, i - 1}); };
    for (int i = 1; i <= info.count;) {
      int end = i;
      while (end <= info.count && !seen.count(name(end))) ++end;
      if (end == i) {
        ++i;
        continue;
      }
      for (int j = i; j < end; ++j) {
        if (end - i >= 3 && j > i && j < end - 1) continue;
        text += (text.empty() ? "" : (end - i >= 3 && j == end - 1) ? " to " : ", ");
        text += name(j);
      }
      i = end;
    }
  }
  return text;
}

}  // namespace

std::string NumberFileText(std::string_view digits) {
  const std::string upper = AsciiUpper(digits);
  if (upper.empty() || upper == std::string(kNumberDigits, '0')) return {};
  // The characters up to the first code 0, when everything after it is 0
  // too: what a number field would show, and what EncodeNumber gives back.
  std::string plain;
  size_t at = 0;
  for (; at + 1 < upper.size(); at += 2) {
    const std::string pair = upper.substr(at, 2);
    if (pair == "00") break;
    if (!AllHex(pair)) return std::string(kHexPrefix) + upper;
    plain += static_cast<char>(std::stoi(pair, nullptr, 16));
  }
  const bool restIsZero = upper.find_first_not_of('0', at) == std::string::npos;
  if (restIsZero && !plain.empty() && plain.size() <= kPlainNumberLimit && Dialable(plain) &&
      EncodeNumber(plain) == upper)
    return plain;
  return std::string(kHexPrefix) + upper;
}

std::string NumberDigits(std::string_view text) {
  if (text.empty()) return EncodeNumber({});
  if (text.substr(0, kHexPrefix.size()) == kHexPrefix) {
    const std::string_view digits = text.substr(kHexPrefix.size());
    if (digits.size() != kNumberDigits || !AllHex(digits))
      throw std::invalid_argument("must be \"hex:\" and 32 hexadecimal digits");
    return AsciiUpper(digits);
  }
  if (!Dialable(text) || text.size() > kPlainNumberLimit)
    throw std::invalid_argument("must be at most 16 digits and \"+\", or \"hex:\" and 32 digits");
  return EncodeNumber(text);
}

PanelImage ParseSettingsFile(std::string_view text) {
  PanelImage image;
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
      throw SettingsFileError({SettingsFault::kNoEquals, lineNumber, {}, {}, {}},
                              "expected name=value, got \"" + ShownText(std::string(line)) + "\"");
    const std::string name(Trim(line.substr(0, eq)));
    const std::string value(Trim(line.substr(eq + 1)));
    const SettingsFileFault bad{SettingsFault::kBadValue, lineNumber, name, value, {}};
    const auto field = FieldNamed(name);
    if (!field)
      throw SettingsFileError(
          {SettingsFault::kUnknownName, lineNumber, name, value, {}},
          "unknown name \"" + ShownText(name) + "\" (the names: " + kFieldNamesText + ")");
    if (!seen.emplace(name, lineNumber).second)
      throw SettingsFileError({SettingsFault::kTwice, lineNumber, name, value, {}},
                              "\"" + name + "\" is given twice");

    const int index = field->index;
    switch (field->family) {
      case FieldFamily::kKey:
        if (value.size() != kKeyDigits || !AllHex(value))
          throw SettingsFileError(
              bad, name + " must be 16 hexadecimal digits, is \"" + ShownText(value) + "\"");
        image.keys[index] = AsciiUpper(value);
        break;
      case FieldFamily::kNumber:
        try {
          image.numbers[index] = NumberDigits(value);
        } catch (const std::invalid_argument& e) {
          throw SettingsFileError(bad, name + " " + e.what() + ", is \"" + ShownText(value) + "\"");
        }
        break;
      case FieldFamily::kDial:
      case FieldFamily::kDay:
        if (value != "0" && value != "1")
          throw SettingsFileError(bad, name + " must be 0 or 1, is \"" + ShownText(value) + "\"");
        SetFlag(field->family == FieldFamily::kDial ? image.dial : image.day, index, value == "1");
        break;
    }
  }
  SettingsFileFault absent{SettingsFault::kMissing, 0, {}, {}, {}};
  for (const PanelField& field : AllPanelFields())
    if (!seen.count(FieldName(field))) absent.missing.push_back(FieldName(field));
  if (const std::string missing = MissingNames(seen); !missing.empty())
    throw SettingsFileError(absent, "missing " + missing +
                                        ": a settings file names all 22 fields, as a read writes"
                                        " them; \"set FIELD=VALUE\" changes single fields");
  return image;
}

std::string BackupHeader(std::string_view port, std::string_view readAt) {
  return "orvex-gsm " ORVEX_VERSION ", the \"Orvex GSM\" panel\nport: " + std::string(port) +
         "\nread: " + std::string(readAt);
}

std::string FormatSettingsFile(const PanelImage& image, std::string_view header) {
  std::string out;
  while (!header.empty()) {
    const size_t end = std::min(header.find('\n'), header.size());
    out += "# " + std::string(header.substr(0, end)) + "\n";
    header.remove_prefix(std::min(end + 1, header.size()));
  }
  for (const PanelField& field : AllPanelFields())
    out += FieldName(field) + "=" + FieldFileText(image, field) + "\n";
  return out;
}

std::string FieldFileText(const PanelImage& image, PanelField field) {
  switch (field.family) {
    case FieldFamily::kKey:
      return image.keys[field.index];
    case FieldFamily::kNumber:
      return NumberFileText(image.numbers[field.index]);
    case FieldFamily::kDial:
      return (image.dial >> field.index) & 1 ? "1" : "0";
    case FieldFamily::kDay:
      break;
  }
  return (image.day >> field.index) & 1 ? "1" : "0";
}

std::string SettingsFieldValue(const PanelImage& image, const std::string& name) {
  const auto field = FieldNamed(name);
  return field ? FieldFileText(image, *field) : std::string();
}
