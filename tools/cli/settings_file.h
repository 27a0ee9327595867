#pragma once
// The command-line tool's settings file: one panel's keys, numbers and flags
// as UTF-8 text, one "name=value" a line, "#" comments and blank lines ignored.

#include <array>
#include <stdexcept>
#include <string>
#include <string_view>

struct PanelSettings {
  std::array<std::string, 4> keys;     // display order, 16 characters each (UTF-8)
  std::array<std::string, 6> numbers;  // as the number fields show them (UTF-8)
  std::array<bool, 6> dial{};          // the dial box of each event
  std::array<bool, 6> day{};           // the 24-hour box of each event
};

class SettingsFileError : public std::runtime_error {
 public:
  SettingsFileError(int line, const std::string& message)
      : std::runtime_error("line " + std::to_string(line) + ": " + message), line_(line) {}
  int line() const { return line_; }

 private:
  int line_;
};

// All sixteen names must be present, each once. Raises SettingsFileError
// with the line of the first fault (for a missing name, the line after the
// last one).
PanelSettings ParseSettingsFile(std::string_view text);

// All sixteen names in the order key1..key4, number1..number6, dial1..dial6,
// day1..day6.
std::string FormatSettingsFile(const PanelSettings& settings);
