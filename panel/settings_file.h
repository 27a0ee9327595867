#pragma once
// The settings file of the tool and the window: one panel copied exactly, as UTF-8
// text, one "name=value" a line, "#" comments and blank lines ignored.
//
//   key1..key4        16 hexadecimal digits, in the key list's order; a slot
//                     in no use (answered with no digits) as the list shows
//                     it, sixteen "0"
//   number1..number6  digits and "+" (at most 16), or "hex:" and the 32
//                     hexadecimal digits of whatever else the panel holds;
//                     empty when the panel holds no number
//   dial1..dial6      0 or 1, the dial flag of each event
//   day1..day6        0 or 1, the 24-hour flag of each event

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "panel/panel_fields.h"
#include "panel/panel_image.h"

// A file larger than this is no settings file.
inline constexpr size_t kSettingsFileLimit = 1024 * 1024;

// The names a settings file and "set" take, as the messages list them.
inline constexpr const char* kFieldNamesText =
    "key1 to key4, number1 to number6, dial1 to dial6, day1 to day6";

// Why a settings file was refused, as data, for a program that words it in
// its own language.
enum class SettingsFault {
  kNone,            // taken
  kTooLarge,        // larger than kSettingsFileLimit
  kSettingsStore,   // the window's settings store (user.reg, a registry export)
  kUtf16,           // text in UTF-16
  kCrOnlyLineEnds,  // lines ended by CR alone
  kNotText,         // bytes that no text file holds
  kNoEquals,        // a line that is no "name=value"
  kUnknownName,     // a name the file format does not have
  kTwice,           // a name given a second time
  kBadValue,        // a value the field cannot take
  kMissing,         // fields the file does not name
};

struct SettingsFileFault {
  SettingsFault kind = SettingsFault::kNone;
  int line = 0;                      // 1-based; 0 for the file as a whole
  std::string name;                  // the name on the line, as written
  std::string value;                 // the value on the line, as written (kBadValue)
  std::vector<std::string> missing;  // the names not given, in file order
};

// what() is the command-line tool's English; Fault() the same as data.
class SettingsFileError : public std::runtime_error {
 public:
  SettingsFileError(const SettingsFileFault& fault, const std::string& message)
      : std::runtime_error(fault.line > 0 ? "line " + std::to_string(fault.line) + ": " + message
                                          : message),
        fault_(fault) {}
  // 0: a fault of the whole file, not of one line.
  int line() const { return fault_.line; }
  const SettingsFileFault& Fault() const { return fault_; }

 private:
  SettingsFileFault fault_;
};

// All twenty-two names must be present, each once. Raises SettingsFileError
// with the line of the first fault; missing names are named all at once, with
// line 0.
PanelImage ParseSettingsFile(std::string_view text);

// The header of a copy of the panel, the same from the window and the tool:
// "orvex-gsm VERSION, the "Orvex GSM" panel", the port, the moment of the
// read (IsoTimeNow).
std::string BackupHeader(std::string_view port, std::string_view readAt);

// The header (each of its lines is written as a "# " comment), then all
// twenty-two names in the order key1..key4, number1..number6, dial1..dial6,
// day1..day6.
std::string FormatSettingsFile(const PanelImage& image, std::string_view header = {});

// The value of one field as the file shows it; of a named one ("key2",
// "number1", "dial5"), empty for any other name.
std::string FieldFileText(const PanelImage& image, PanelField field);
std::string SettingsFieldValue(const PanelImage& image, const std::string& name);

// A number as the file shows it, from its 32 digits.
std::string NumberFileText(std::string_view digits);
// The 32 digits of a number as the file shows it; raises
// std::invalid_argument with the reason when the file allows no such number.
std::string NumberDigits(std::string_view text);
