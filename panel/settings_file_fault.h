#pragma once
// Why a settings file was refused, as data, for a program that words it in
// its own language: the parser's message is the command-line tool's English.

#include <string>
#include <string_view>
#include <vector>

#include "panel/settings_file.h"

enum class SettingsFault {
  kNotText,      // bytes that no text file holds
  kNoEquals,     // a line that is no "name=value"
  kUnknownName,  // a name the file format does not have
  kTwice,        // a name given a second time
  kBadValue,     // a value the field cannot take
  kMissing,      // fields the file does not name
};

struct SettingsFileFault {
  SettingsFault kind = SettingsFault::kNotText;
  int line = 0;                      // 1-based; 0 for the file as a whole
  std::string name;                  // the name on the line, as written
  std::string value;                 // the value on the line, as written (kBadValue)
  std::vector<std::string> missing;  // the names not given, in file order
};

// What is wrong with text, which ParseSettingsFile refused with error.
SettingsFileFault DescribeSettingsFault(std::string_view text, const SettingsFileError& error);
