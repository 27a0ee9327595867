#include "panel/panel_image.h"

#include "panel/answer_ledger.h"
#include "panel/encodings.h"
#include "panel/exchange.h"
#include "panel/panel_errors.h"
#include "panel/reply_checks.h"
#include "panel/settings_file.h"

namespace {

std::string ErrorMessage(const std::vector<RefusedReply>& refused) {
  std::string message = "the panel's replies could not be taken: ";
  for (size_t i = 0; i < refused.size(); ++i) {
    if (i > 0) message += "; ";
    message += refused[i].command;
  }
  return message;
}

// Sends one read and takes its data, or notes why it cannot be taken, and
// goes on: every command is asked, every refusal named.
class ImageReader {
 public:
  ImageReader(const CommandSender& send, const LineNotes* notes) : send_(send), taker_(notes) {}

  std::string Data(const std::string& command, int32_t budget, ReplyShape shape) {
    std::string reply;
    send_(command, kCommandAttempts, budget, reply);
    const ReplyTaker::Taken taken = taker_.Take(command, shape, reply);
    if (taken.followed) Refuse(*taken.followed);
    if (taken.refused) {
      refused_.push_back(*taken.refused);
      return {};
    }
    return AsciiUpper(taken.data);
  }

  void RaiseIfRefused() const {
    if (!refused_.empty()) throw EPanelReadError(refused_);
  }

 private:
  // A command already refused for its own reply is named once.
  void Refuse(const RefusedReply& refused) {
    for (const RefusedReply& r : refused_)
      if (r.command == refused.command) return;
    refused_.push_back(refused);
  }

  const CommandSender& send_;
  ReplyTaker taker_;
  std::vector<RefusedReply> refused_;
};

}  // namespace

EPanelReadError::EPanelReadError(std::vector<RefusedReply> refused)
    : std::runtime_error(ErrorMessage(refused)), refused_(std::move(refused)) {}

std::string EscapedBytes(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\\' || c == '"') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += HexPair(c);
    }
  }
  return out;
}

PanelImage ReadPanelImage(const CommandSender& send, const LineNotes* notes) {
  ImageReader reader(send, notes);
  PanelImage image;
  for (int slot = 1; slot <= kKeySlots; ++slot) {
    // A slot in no use answers no digits: it is taken as the key list shows
    // it, sixteen "0", which is also what writing it back puts into the
    // panel. Fewer than 16 digits are refused: four are the flags' answer.
    const std::string data = reader.Data(KeyReadCommand(slot), kKeyBudget, ReplyShape::kSlotKey);
    image.keys[slot - 1] = ReverseKeyBytes(data);
  }
  const std::string flags =
      reader.Data(std::string(kFlagsReadCommand), kFlagsBudget, ReplyShape::kFlags);
  if (!flags.empty()) {
    const FlagBytes bytes = DecodeFlagBytes(flags);
    image.dial = bytes.dial & kFlagBits;
    image.day = bytes.day & kFlagBits;
  }
  for (const PanelEvent& event : kPanelEvents) {
    const std::string data =
        reader.Data(NumberReadCommand(event.number), kNumberBudget, ReplyShape::kNumber);
    if (!data.empty()) image.numbers[event.number - 1] = data.substr(2);
  }
  reader.RaiseIfRefused();
  return image;
}

void WritePanelImage(const CommandSender& send, const PanelImage& image, const LineNotes* notes,
                     const PanelImage* before) {
  UnconfirmedWrites unconfirmed;
  std::string reply;
  std::string first;     // the first write sent, without its data
  std::string previous;  // the write sent before this one, without its data
  // A panel that has gone silent takes none of the rest: sending it all and
  // reading it back would only cost the user many seconds.
  const auto check = [&](const std::string& name) {
    // An answer after the previous write's "OK", before this one went out,
    // or a second answer in this one's reply: the previous "OK" may have
    // been a copy, and its own answer the refusal that came later.
    if (first.empty()) first = name;
    if (!previous.empty() && notes != nullptr && HoldsAnswer(notes->ReadAway())) {
      unconfirmed.Doubt(previous, notes->ReadAway());
      unconfirmed.DoubtAllFrom(first);
    }
    const std::string& came = reply.empty() && notes != nullptr ? notes->Unaccepted() : reply;
    if (!previous.empty() && AnswersIn(came) > 1) {
      unconfirmed.Doubt(previous, came);
      unconfirmed.DoubtAllFrom(first);
    }
    previous = name;
    if (reply.empty() && notes != nullptr && notes->Unaccepted().empty()) {
      // Writes already in doubt are named with it, never left out.
      if (unconfirmed.Any()) {
        unconfirmed.Note(name, came);
        unconfirmed.RaiseIfAny();
      }
      throw EPanelStoppedAnswering(name);
    }
    // What came instead of a confirmation: the reply, or what came without
    // "OK" (a refusal).
    unconfirmed.Note(name, came);
  };
  const auto digits = [](const std::string& d) {
    return d.empty() ? EncodeNumber({}) : AsciiUpper(d);
  };
  for (int slot = 1; slot <= kKeySlots; ++slot) {
    const std::string key = AsciiUpper(image.keys[slot - 1]);
    if (before != nullptr && key == AsciiUpper(before->keys[slot - 1])) continue;
    reply.clear();
    send(KeyWriteCommand(slot, ReverseKeyBytes(key)), kCommandAttempts, kKeyBudget, reply);
    check(KeyReadCommand(slot));
  }
  // Both flag bytes travel in one command, sent when any flag changed.
  if (before == nullptr || (image.dial & kFlagBits) != (before->dial & kFlagBits) ||
      (image.day & kFlagBits) != (before->day & kFlagBits)) {
    EventTicks dial{};
    EventTicks day{};
    for (const PanelEvent& event : kPanelEvents) {
      dial[event.number - 1] = (image.dial & event.bit) != 0;
      day[event.number - 1] = (image.day & event.bit) != 0;
    }
    reply.clear();
    send(FlagsWriteCommand(EncodeFlagByte(dial), EncodeFlagByte(day)), kCommandAttempts,
         kFlagsBudget, reply);
    check(std::string(kFlagsReadCommand));
  }
  for (const PanelEvent& event : kPanelEvents) {
    const std::string wanted = digits(image.numbers[event.number - 1]);
    if (before != nullptr && wanted == digits(before->numbers[event.number - 1])) continue;
    reply.clear();
    send(NumberWriteCommand(event.number, wanted), kCommandAttempts, kNumberBudget, reply);
    check(NumberReadCommand(event.number));
  }
  unconfirmed.RaiseIfAny();
}

std::vector<std::string> ImageDifferences(const PanelImage& a, const PanelImage& b) {
  std::vector<std::string> names;
  for (const PanelField& field : AllPanelFields())
    if (AsciiUpper(FieldFileText(a, field)) != AsciiUpper(FieldFileText(b, field)))
      names.push_back(FieldName(field));
  return names;
}
