#include "panel/panel_image.h"

#include <algorithm>
#include <cctype>

#include "panel/encodings.h"
#include "panel/exchange.h"
#include "panel/panel_errors.h"

namespace {

bool AllHex(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](unsigned char c) { return std::isxdigit(c) != 0; });
}

size_t Occurrences(std::string_view text, std::string_view what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1))
    ++count;
  return count;
}

constexpr size_t kKeyDigits = 16;
constexpr size_t kFlagDigits = 4;
constexpr size_t kNumberData = 34;  // two characters the panel keeps, then 16 codes

std::string ErrorMessage(const std::vector<RefusedReply>& refused) {
  std::string message = "the panel's replies could not be taken: ";
  for (size_t i = 0; i < refused.size(); ++i) {
    if (i > 0) message += "; ";
    message += refused[i].command + " " + refused[i].reason;
  }
  return message;
}

// Sends one read and takes its data, or notes why it cannot be taken.
class ImageReader {
 public:
  ImageReader(const CommandSender& send, const HeardLookup& heard) : send_(send), heard_(heard) {}

  std::string Data(const std::string& command, int32_t budget, char shape) {
    std::string reply;
    send_(command, kCommandAttempts, budget, reply);
    if (reply.empty() && heard_) {
      const std::string came = heard_(command);
      if (!came.empty()) {
        refused_.push_back({command, "was answered without \"OK\"", came});
        return {};
      }
    }
    const std::string fault = ReplyFault(reply, shape);
    if (!fault.empty()) {
      refused_.push_back({command, fault, reply});
      return {};
    }
    return AsciiUpper(ExtractReply(reply));
  }

  void RaiseIfRefused() const {
    if (!refused_.empty()) throw EPanelReadError(refused_);
  }

 private:
  const CommandSender& send_;
  const HeardLookup& heard_;
  std::vector<RefusedReply> refused_;
};

}  // namespace

EPanelReadError::EPanelReadError(std::vector<RefusedReply> refused)
    : std::runtime_error(ErrorMessage(refused)), refused_(std::move(refused)) {}

std::string ReplyFault(const std::string& reply, char shape) {
  if (reply.empty()) return "was not answered";
  // An answer that came late, or twice, shares the reply with this one: which
  // of them belongs to this command cannot be told.
  if (Occurrences(reply, "OK") > 1 || Occurrences(reply, ">") > 1)
    return "got a reply holding more than one answer";
  const std::string data = ExtractReply(reply);
  switch (shape) {
    case 'k':
      if (data.size() == kKeyDigits && AllHex(data)) return {};
      return "got a reply that is not a key (16 hexadecimal digits)";
    case 'f':
      if (data.size() >= kFlagDigits && AllHex(data)) return {};
      return "got a reply that is not the flags (4 hexadecimal digits)";
    default:
      if (data.size() == kNumberData && AllHex(std::string_view(data).substr(2))) return {};
      return "got a reply that is not a number (2 characters and 32 hexadecimal digits)";
  }
}

std::string EscapedBytes(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += HexPair(c);
    }
  }
  return out;
}

PanelImage ReadPanelImage(const CommandSender& send, const HeardLookup& heard) {
  ImageReader reader(send, heard);
  PanelImage image;
  for (int slot = 1; slot <= kKeySlots; ++slot) {
    const std::string data = reader.Data(KeyReadCommand(slot), kKeyBudget, 'k');
    image.keys[slot - 1] = data.empty() ? std::string() : ReverseKeyBytes(data);
  }
  const std::string flags = reader.Data(std::string(kFlagsReadCommand), kFlagsBudget, 'f');
  if (!flags.empty()) {
    const FlagBytes bytes = DecodeFlagBytes(flags);
    image.dial = bytes.dial & kFlagBits;
    image.day = bytes.day & kFlagBits;
  }
  for (const PanelEvent& event : kPanelEvents) {
    const std::string data = reader.Data(NumberReadCommand(event.number), kNumberBudget, 'n');
    if (!data.empty()) image.numbers[event.number - 1] = data.substr(2);
  }
  reader.RaiseIfRefused();
  return image;
}

void WritePanelImage(const CommandSender& send, const PanelImage& image) {
  UnconfirmedWrites unconfirmed;
  std::string reply;
  for (int slot = 1; slot <= kKeySlots; ++slot) {
    reply.clear();
    send(KeyWriteCommand(slot, ReverseKeyBytes(AsciiUpper(image.keys[slot - 1]))), kCommandAttempts,
         kKeyBudget, reply);
    unconfirmed.Note(KeyReadCommand(slot), reply);
  }
  EventTicks dial{};
  EventTicks day{};
  for (const PanelEvent& event : kPanelEvents) {
    dial[event.number - 1] = (image.dial & event.bit) != 0;
    day[event.number - 1] = (image.day & event.bit) != 0;
  }
  reply.clear();
  send(FlagsWriteCommand(EncodeFlagByte(dial), EncodeFlagByte(day)), kCommandAttempts, kFlagsBudget,
       reply);
  unconfirmed.Note(std::string(kFlagsReadCommand), reply);
  for (const PanelEvent& event : kPanelEvents) {
    const std::string& digits = image.numbers[event.number - 1];
    reply.clear();
    send(NumberWriteCommand(event.number, digits.empty() ? EncodeNumber({}) : AsciiUpper(digits)),
         kCommandAttempts, kNumberBudget, reply);
    unconfirmed.Note(NumberReadCommand(event.number), reply);
  }
  unconfirmed.RaiseIfAny();
}

std::vector<std::string> ImageDifferences(const PanelImage& a, const PanelImage& b) {
  std::vector<std::string> names;
  for (int i = 0; i < kKeySlots; ++i) {
    if (AsciiUpper(a.keys[i]) != AsciiUpper(b.keys[i]))
      names.push_back("key" + std::to_string(i + 1));
  }
  const auto digits = [](const std::string& d) {
    return d.empty() ? EncodeNumber({}) : AsciiUpper(d);
  };
  for (int i = 0; i < kEventCount; ++i) {
    if (digits(a.numbers[i]) != digits(b.numbers[i]))
      names.push_back("number" + std::to_string(i + 1));
  }
  for (const PanelEvent& event : kPanelEvents) {
    if ((a.dial & event.bit) != (b.dial & event.bit))
      names.push_back("dial" + std::to_string(event.number));
  }
  for (const PanelEvent& event : kPanelEvents) {
    if ((a.day & event.bit) != (b.day & event.bit))
      names.push_back("day" + std::to_string(event.number));
  }
  return names;
}
