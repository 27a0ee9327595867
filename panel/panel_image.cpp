#include "panel/panel_image.h"

#include "panel/encodings.h"
#include "panel/settings_file.h"

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

namespace {

// The length of the UTF-8 character that begins at text[at] (2 to 4), or 0
// when no whole one does.
size_t Utf8CharAt(const std::string& text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (size_t i = at + 1; i < at + length; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  return length;
}

}  // namespace

std::string ShownText(const std::string& text) {
  std::string out;
  for (size_t at = 0; at < text.size();) {
    if (const size_t length = Utf8CharAt(text, at); length > 0) {
      out.append(text, at, length);
      at += length;
    } else {
      out += EscapedBytes(text.substr(at, 1));
      ++at;
    }
  }
  return out;
}

std::vector<Step> ImageReadSteps(Phase phase, ReadOrder order) {
  std::vector<Step> steps;
  const bool first = order == ReadOrder::kFirst;
  if (first) steps.push_back(FlagsReadStep(phase));
  for (int i = 0; i < kEventCount; ++i)
    steps.push_back(NumberReadStep(first ? i + 1 : kEventCount - i, phase));
  if (!first) steps.push_back(FlagsReadStep(phase));
  // A slot in no use answers no digits: it is taken as the key list shows
  // it, sixteen "0", which is also what writing it back puts into the
  // panel. Fewer than 16 digits are refused: four are the flags' answer.
  for (int i = 0; i < kKeySlots; ++i)
    steps.push_back(KeyReadStep(first ? i + 1 : kKeySlots - i, phase));
  return steps;
}

PanelImage SendImageReads(OperationRunner& runner, Phase phase, ReadOrder order) {
  PanelImage image;
  for (const Step& step : ImageReadSteps(phase, order)) {
    const std::string data = AsciiUpper(runner.Send(step).data);
    switch (step.subject) {
      case Subject::kKey:
        image.keys[step.index - 1] = ReverseKeyBytes(data);
        break;
      case Subject::kFlags:
        if (!data.empty()) {
          const FlagBytes bytes = DecodeFlagBytes(data);
          image.dial = bytes.dial & kFlagBits;
          image.day = bytes.day & kFlagBits;
        }
        break;
      case Subject::kNumber:
        if (!data.empty()) image.numbers[step.index - 1] = data.substr(2);
        break;
      case Subject::kProbe:
      case Subject::kPresentedKey:
        break;
    }
  }
  return image;
}

PanelImage SendNumberReads(OperationRunner& runner, const PanelImage& base) {
  PanelImage back = base;
  const std::string flags = runner.Send(FlagsReadStep(Phase::kReadBack)).data;
  if (!flags.empty()) {
    const FlagBytes bytes = DecodeFlagBytes(flags);
    back.dial = bytes.dial & kFlagBits;
    back.day = bytes.day & kFlagBits;
  }
  for (const PanelEvent& event : kPanelEvents) {
    const std::string data = runner.Send(NumberReadStep(event.number, Phase::kReadBack)).data;
    back.numbers[event.number - 1] = data.empty() ? std::string() : AsciiUpper(data.substr(2));
  }
  return back;
}

std::vector<Step> ImageWriteSteps(const PanelImage& image, const PanelImage* before,
                                  bool keysLast) {
  const auto digits = [](const std::string& d) {
    return d.empty() ? EncodeNumber({}) : AsciiUpper(d);
  };
  std::vector<Step> keys;
  for (int slot = 1; slot <= kKeySlots; ++slot) {
    const std::string key = AsciiUpper(image.keys[slot - 1]);
    if (before != nullptr && key == AsciiUpper(before->keys[slot - 1])) continue;
    keys.push_back(KeyWriteStep(slot, ReverseKeyBytes(key)));
  }
  std::vector<Step> steps;
  if (!keysLast) steps = keys;
  // Both flag bytes travel in one command, sent when any flag changed.
  if (before == nullptr || (image.dial & kFlagBits) != (before->dial & kFlagBits) ||
      (image.day & kFlagBits) != (before->day & kFlagBits)) {
    EventTicks dial{};
    EventTicks day{};
    for (const PanelEvent& event : kPanelEvents) {
      dial[event.number - 1] = (image.dial & event.bit) != 0;
      day[event.number - 1] = (image.day & event.bit) != 0;
    }
    steps.push_back(FlagsWriteStep(EncodeFlagByte(dial), EncodeFlagByte(day)));
  }
  for (const PanelEvent& event : kPanelEvents) {
    const std::string wanted = digits(image.numbers[event.number - 1]);
    if (before != nullptr && wanted == digits(before->numbers[event.number - 1])) continue;
    steps.push_back(NumberWriteStep(event.number, wanted));
  }
  if (keysLast) steps.insert(steps.end(), keys.begin(), keys.end());
  return steps;
}

size_t SendImageWrites(OperationRunner& runner, const std::vector<Step>& steps,
                       const std::function<bool()>& stop) {
  // A panel that has gone silent takes none of the rest: sending it all and
  // reading it back would only cost the user many seconds.
  size_t sent = 0;
  for (const Step& step : steps) {
    if (stop && stop()) break;
    ++sent;
    if (runner.Send(step).verdict == Verdict::kNoAnswer) break;
  }
  return sent;
}

std::vector<std::string> ImageDifferences(const PanelImage& a, const PanelImage& b) {
  std::vector<std::string> names;
  for (const PanelField& field : AllPanelFields())
    if (AsciiUpper(FieldFileText(a, field)) != AsciiUpper(FieldFileText(b, field)))
      names.push_back(FieldName(field));
  return names;
}
