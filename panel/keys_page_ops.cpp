#include "panel/keys_page_ops.h"

#include "panel/commands.h"
#include "panel/encodings.h"

void ReadKeys(KeyList& list, const CommandSender& send) {
  ReadKeys(list, LiteralData(send));
}

void ReadKeys(KeyList& list, const DataReader& read) {
  list.Clear();
  for (int slot = 1; slot <= kKeySlots; ++slot) {
    const std::string data = read(KeyReadCommand(slot), kKeyBudget, ReplyShape::kShortKey);
    list.Append(std::to_string(slot), ReverseKeyBytes(data));
  }
}

void WriteKeys(KeyList& list, const CommandSender& send) {
  UnconfirmedWrites unconfirmed;
  for (int slot = 1; slot <= kKeySlots; ++slot) {
    std::string value;
    if (list.Count() > 0) {
      if (slot - 1 >= list.Count()) RaiseListIndexError(slot - 1);
      value = list.Value(slot - 1);
    }
    std::string reply;
    send(KeyWriteCommand(slot, ReverseKeyBytes(value)), kCommandAttempts, kKeyBudget, reply);
    unconfirmed.Note(KeyReadCommand(slot), reply);
  }
  unconfirmed.RaiseIfAny();
}

void ReadPresentedKey(KeyList& list, const CommandSender& send) {
  ReadPresentedKey(list, LiteralData(send));
}

void ReadPresentedKey(KeyList& list, const DataReader& read) {
  const int row = list.SelectedRow();
  if (row < 1) return;
  const std::string data =
      read(std::string(kPresentedKeyCommand), kPresentedKeyBudget, ReplyShape::kKey);
  list.SetReaderKey(ReverseKeyBytes(data));
  if (row - 1 >= list.Count()) RaiseListIndexError(row - 1);
  list.SetEntry(row - 1, std::to_string(row), list.ReaderKey());
}
