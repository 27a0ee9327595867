#include "panel_protocol.h"

#include <cstdint>

namespace {

PanelAnswer Rejected() {
  return PanelAnswer{AnswerKind::kRejected, "", false};
}
PanelAnswer Data(std::string data) {
  return PanelAnswer{AnswerKind::kData, std::move(data), false};
}
PanelAnswer Accepted(bool changed) {
  return PanelAnswer{AnswerKind::kAccepted, "", changed};
}

// The slot digit after "0" in "+T0n" and "+H0n"; -1 when the text does not
// start with "0" and a decimal digit.
int SlotDigit(std::string_view args) {
  if (args.size() < 2 || args[0] != '0' || args[1] < '0' || args[1] > '9') return -1;
  return args[1] - '0';
}

// "+T0n" reads key slot n, "+T0n" + 16 digits stores it, "+T00" reads the key
// held to the reader.
PanelAnswer HandleKey(PanelState& state, std::string_view args,
                      const std::optional<KeyBytes>& presented) {
  int slot = SlotDigit(args);
  std::string_view keyText = args.size() >= 2 ? args.substr(2) : args;
  if (slot == 0 && keyText.empty()) {
    if (!presented) return PanelAnswer{AnswerKind::kAwaitKey, "", false};
    return Data(ToHex(*presented));
  }
  if (slot < 1 || slot > kKeySlots) return Rejected();
  KeyBytes& stored = state.keys[slot - 1];
  if (keyText.empty()) return Data(ToHex(stored));
  KeyBytes key;
  if (!FromHex(keyText, key)) return Rejected();
  bool changed = key != stored;
  stored = key;
  return Accepted(changed);
}

// "+s" reads the dial and 24-hour bytes, "+s" + 4 digits stores them.
PanelAnswer HandleFlags(PanelState& state, std::string_view args) {
  if (args.empty()) return Data(ToHex(&state.dial, 1) + ToHex(&state.h24, 1));
  uint8_t flags[2];
  if (!FromHex(args, flags, 2)) return Rejected();
  uint8_t dial = flags[0] & kFlagMask;
  uint8_t h24 = flags[1] & kFlagMask;
  bool changed = dial != state.dial || h24 != state.h24;
  state.dial = dial;
  state.h24 = h24;
  return Accepted(changed);
}

// "+H0n" reads the number of event n, "+H0n" + 32 digits stores its 16
// character codes. The two characters in front of the codes name the event.
PanelAnswer HandleNumber(PanelState& state, std::string_view args) {
  int event = SlotDigit(args);
  if (event < 1 || event > kEvents) return Rejected();
  NumberCodes& stored = state.numbers[event - 1];
  std::string_view codesText = args.substr(2);
  if (codesText.empty()) return Data(std::string(args.substr(0, 2)) + ToHex(stored));
  NumberCodes codes;
  if (!FromHex(codesText, codes)) return Rejected();
  bool changed = codes != stored;
  stored = codes;
  return Accepted(changed);
}

}  // namespace

void LineAssembler::Feed(std::string_view bytes, std::vector<CommandLine>& lines) {
  for (char c : bytes) {
    if (c == '\r') {
      if (length_ > 0) lines.push_back(CommandLine{std::move(current_), length_});
      current_.clear();
      length_ = 0;
      continue;
    }
    if (c == '\n' && length_ == 0) continue;
    if (length_ < kMaxLine) current_ += c;
    if (length_ < SIZE_MAX) ++length_;
  }
}

PanelAnswer HandleCommand(PanelState& state, std::string_view command,
                          const std::optional<KeyBytes>& presented) {
  if (command.size() < 2 || command[0] != '+') return Rejected();
  std::string_view args = command.substr(2);
  switch (command[1]) {
    case 'T':
      return HandleKey(state, args, presented);
    case 's':
      return HandleFlags(state, args);
    case 'H':
      return HandleNumber(state, args);
    default:
      return Rejected();
  }
}

std::string AnswerText(const PanelAnswer& answer, std::string_view ok) {
  switch (answer.kind) {
    case AnswerKind::kData:
      return ">" + answer.data + "\r\n" + std::string(ok) + "\r\n";
    case AnswerKind::kAccepted:
      return std::string(ok) + "\r\n";
    case AnswerKind::kRejected:
    case AnswerKind::kAwaitKey:
      break;
  }
  return "ERROR\r\n";
}
