#include "serial/com_name.h"

std::optional<unsigned> ComNumber(std::string_view name) {
  if (name.size() < 4) return std::nullopt;
  for (size_t i = 0; i < 3; ++i)
    if ((name[i] | 0x20) != "com"[i]) return std::nullopt;
  if (name[3] == '0') return std::nullopt;
  unsigned number = 0;
  for (char c : name.substr(3)) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<unsigned>(c - '0');
    if (number > kHighestComNumber) return std::nullopt;
  }
  return number;
}

std::string ComName(unsigned number) {
  return "COM" + std::to_string(number);
}

std::vector<std::string> AllComNames() {
  std::vector<std::string> names;
  for (unsigned number = 1; number <= kHighestComNumber; ++number) names.push_back(ComName(number));
  return names;
}
