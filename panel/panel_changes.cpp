#include "panel/panel_changes.h"

#include "panel/commands.h"
#include "panel/encodings.h"

void WritePanelChanges(const CommandSender& send, const PanelImage& before,
                       const PanelImage& after) {
  UnconfirmedWrites unconfirmed;
  std::string reply;
  for (int slot = 1; slot <= kKeySlots; ++slot) {
    const std::string key = AsciiUpper(after.keys[slot - 1]);
    if (key == AsciiUpper(before.keys[slot - 1])) continue;
    reply.clear();
    send(KeyWriteCommand(slot, ReverseKeyBytes(key)), kCommandAttempts, kKeyBudget, reply);
    unconfirmed.Note(KeyReadCommand(slot), reply);
  }
  if ((after.dial & kFlagBits) != (before.dial & kFlagBits) ||
      (after.day & kFlagBits) != (before.day & kFlagBits)) {
    EventTicks dial{};
    EventTicks day{};
    for (const PanelEvent& event : kPanelEvents) {
      dial[event.number - 1] = (after.dial & event.bit) != 0;
      day[event.number - 1] = (after.day & event.bit) != 0;
    }
    reply.clear();
    send(FlagsWriteCommand(EncodeFlagByte(dial), EncodeFlagByte(day)), kCommandAttempts,
         kFlagsBudget, reply);
    unconfirmed.Note(std::string(kFlagsReadCommand), reply);
  }
  const auto digits = [](const std::string& d) {
    return d.empty() ? EncodeNumber({}) : AsciiUpper(d);
  };
  for (const PanelEvent& event : kPanelEvents) {
    const std::string wanted = digits(after.numbers[event.number - 1]);
    if (wanted == digits(before.numbers[event.number - 1])) continue;
    reply.clear();
    send(NumberWriteCommand(event.number, wanted), kCommandAttempts, kNumberBudget, reply);
    unconfirmed.Note(NumberReadCommand(event.number), reply);
  }
  unconfirmed.RaiseIfAny();
}
