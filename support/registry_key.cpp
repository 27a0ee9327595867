#include "support/registry_key.h"

namespace {

std::string Quoted(std::string_view text, std::string_view name) {
  std::string message(text);
  message += " '";
  message += name;
  message += '\'';
  return message;
}

// The capital letter of a small letter of code page 1251, or the byte itself.
unsigned char UpperCp1251(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 'a' + 'A');
  if (c >= 0xE0) return static_cast<unsigned char>(c - 0x20);  // а..я
  switch (c) {
    case 0x90:
      return 0x80;  // ђ
    case 0x83:
      return 0x81;  // ѓ
    case 0x9A:
      return 0x8A;  // љ
    case 0x9C:
      return 0x8C;  // њ
    case 0x9D:
      return 0x8D;  // ќ
    case 0x9E:
      return 0x8E;  // ћ
    case 0x9F:
      return 0x8F;  // џ
    case 0xA2:
      return 0xA1;  // ў
    case 0xBC:
      return 0xA3;  // ј
    case 0xB4:
      return 0xA5;  // ґ
    case 0xB8:
      return 0xA8;  // ё
    case 0xBA:
      return 0xAA;  // є
    case 0xBF:
      return 0xAF;  // ї
    case 0xB3:
      return 0xB2;  // і
    case 0xBE:
      return 0xBD;  // ѕ
    default:
      return c;
  }
}

}  // namespace

ERegistryException InvalidDataType(std::string_view valueName) {
  return ERegistryException(Quoted("Invalid data type for", valueName));
}

ERegistryException FailedToSetData(std::string_view valueName, std::string detail) {
  return ERegistryException(Quoted("Failed to set data for", valueName), std::move(detail));
}

ERegistryException FailedToGetData(std::string_view valueName, std::string detail) {
  return ERegistryException(Quoted("Failed to get data for", valueName), std::move(detail));
}

ESettingsFileError::ESettingsFileError(std::string path, int line, const std::string& reason)
    : ERegistryException("The settings file '" + path + "' cannot be read" +
                         (line > 0 ? ", line " + std::to_string(line) : std::string()) + ": " +
                         reason + "; it is left as it is"),
      path_(std::move(path)),
      line_(line) {}

std::string_view RelativeKeyPath(std::string_view path) {
  if (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  return path;
}

bool SameRegistryName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperCp1251(static_cast<unsigned char>(a[i])) !=
        UpperCp1251(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}
