#include "panel/image_pages.h"

#include "panel/commands.h"
#include "panel/encodings.h"

namespace {

// The number a field shows for the 32 digits of a copy: the reply data of a
// number read is two characters the panel keeps, then those digits.
std::string FieldText(const std::string& digits) {
  if (digits.empty()) return {};
  return DecodeNumber("00" + digits).value_or(std::string());
}

}  // namespace

void ShowPanelImage(const PanelImage& image, KeyList& keys, NumbersPage& numbers, bool debugMode) {
  keys.Clear();
  for (int slot = 1; slot <= kKeySlots; ++slot)
    keys.Append(std::to_string(slot), image.keys[slot - 1]);

  numbers.SetSpareBoxesVisible(debugMode);
  numbers.SetEnabled(true);
  for (const PanelEvent& event : kPanelEvents) {
    numbers.SetDialTicked(event.number, (image.dial & event.bit) != 0);
    numbers.SetDayTicked(event.number, (image.day & event.bit) != 0);
    numbers.SetNumberText(event.number, FieldText(image.numbers[event.number - 1]));
  }
}
