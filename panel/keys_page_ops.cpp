#include "panel/keys_page_ops.h"

#include "panel/commands.h"
#include "panel/encodings.h"

void ReadKeys(KeyList& list, const DataReader& read) {
  list.Clear();
  for (int slot = 1; slot <= kKeySlots; ++slot) {
    const std::string data = read(KeyReadStep(slot, Phase::kRead, ReplyShape::kSlotKey));
    list.Append(std::to_string(slot), ReverseKeyBytes(data));
  }
}
