#pragma once
// The panel's settings as fields, once for the settings file, the
// differences between two copies, the tool's `set` and every message that
// names a field: key1..key4, number1..number6, dial1..dial6, day1..day6.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "panel/commands.h"

// A key is 16 hexadecimal digits; a number travels as 16 character codes,
// 32 hexadecimal digits.
inline constexpr size_t kKeyDigits = 16;
inline constexpr size_t kNumberDigits = 32;

enum class FieldFamily { kKey, kNumber, kDial, kDay };

struct FieldFamilyInfo {
  FieldFamily family;
  std::string_view name;  // "key", "number", "dial", "day"
  int count;
};

// In the settings file's order.
inline constexpr FieldFamilyInfo kFieldFamilies[] = {
    {FieldFamily::kKey, "key", kKeySlots},
    {FieldFamily::kNumber, "number", kEventCount},
    {FieldFamily::kDial, "dial", kEventCount},
    {FieldFamily::kDay, "day", kEventCount},
};

struct PanelField {
  FieldFamily family;
  int index;  // from 0: key2 is index 1

  bool operator==(const PanelField&) const = default;
};

// Every field, in the settings file's order.
std::vector<PanelField> AllPanelFields();
// "key2", "number1", "dial5", "day6".
std::string FieldName(PanelField field);
// The field a name stands for; nothing for any other name.
std::optional<PanelField> FieldNamed(std::string_view name);
// The command that reads and writes the field, without data: "+T02",
// "+H01", "+s" for every flag.
std::string FieldCommandName(PanelField field);
// The fields a command (with or without its data) reads or writes: one key,
// one number, or all twelve flags for "+s"; none for the probe's own use or
// "+T00".
std::vector<PanelField> FieldsOfCommand(std::string_view command);
