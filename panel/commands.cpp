#include "panel/commands.h"

#include <stdexcept>

namespace {

char Digit(int value, int low, int high) {
  // A slot or event outside the panel's range would build a command that
  // means something else to the panel.
  if (value < low || value > high) {
    throw std::out_of_range("panel command number " + std::to_string(value) + " out of range");
  }
  return static_cast<char>('0' + value);
}

}  // namespace

std::string KeyReadCommand(int slot) {
  return std::string("+T0") + Digit(slot, 1, kKeySlots);
}

std::string KeyWriteCommand(int slot, std::string_view panelKey) {
  return KeyReadCommand(slot).append(panelKey);
}

std::string FlagsWriteCommand(std::string_view dialDigits, std::string_view dayDigits) {
  return std::string(kFlagsReadCommand).append(dialDigits).append(dayDigits);
}

std::string NumberReadCommand(int event) {
  return std::string("+H0") + Digit(event, 1, kEventCount);
}

std::string NumberWriteCommand(int event, std::string_view digits) {
  return NumberReadCommand(event).append(digits);
}

std::string CommandName(std::string_view command) {
  return std::string(command.substr(0, command.starts_with("+s") ? 2 : 4));
}
