#include "panel/checked_write.h"

#include "panel/encodings.h"
#include "panel/page_link.h"
#include "panel/panel_session.h"

namespace {

// What the numbers page's write is sent over: the keys as wanted, so that
// none of them is sent, and flags and numbers that match nothing, so that
// all seven of those commands are.
PanelImage KeysAlone(const PanelImage& wanted) {
  PanelImage over = wanted;
  over.dial = static_cast<uint8_t>(~wanted.dial & kFlagBits);
  over.day = static_cast<uint8_t>(~wanted.day & kFlagBits);
  for (std::string& number : over.numbers) number.assign(1, '-');
  return over;
}

}  // namespace

PanelImage PagesImage(const KeyList& keys, const NumbersPage& numbers) {
  PanelImage image;
  if (keys.Count() > 0 && keys.Count() < kKeySlots) RaiseListIndexError(keys.Count());
  for (int slot = 1; slot <= kKeySlots; ++slot) {
    const std::string value = keys.Count() > 0 ? keys.Value(slot - 1) : std::string();
    // As the panel will hold it: padded to 16 characters, upper case.
    image.keys[slot - 1] = AsciiUpper(ReverseKeyBytes(ReverseKeyBytes(value)));
  }
  for (const PanelEvent& event : kPanelEvents) {
    const bool dial = numbers.DialTicked(event.number);
    if (dial) image.dial |= event.bit;
    if (numbers.DayTicked(event.number)) image.day |= event.bit;
    const std::string text = numbers.NumberText(event.number);
    image.numbers[event.number - 1] = EncodeNumber(dial ? text : std::string());
  }
  return image;
}

std::vector<int> NumbersLeftOut(const NumbersPage& numbers) {
  std::vector<int> events;
  for (const PanelEvent& event : kPanelEvents) {
    if (!numbers.DialTicked(event.number) && !numbers.NumberText(event.number).empty())
      events.push_back(event.number);
  }
  return events;
}

bool CheckedWrite::WritesConfirmed() const {
  for (const StepOutcome& s : story.steps)
    if (s.step.IsWrite() && !s.Taken()) return false;
  return true;
}

namespace {

// A write that nothing came to, the line still there.
bool StoppedIn(const Outcome& story) {
  if (story.lost) return false;
  for (const StepOutcome& s : story.steps)
    if (s.step.IsWrite() && s.verdict == Verdict::kNoAnswer) return true;
  return false;
}

}  // namespace

bool CheckedWrite::Stopped() const {
  return StoppedIn(story);
}

bool CheckedWrite::LostAfterWrite() const {
  return Lost() && !story.steps.empty() && !story.steps.back().step.IsWrite() &&
         story.steps.back().step.phase != Phase::kProbe;
}

bool CheckedWrite::Done() const {
  return story.Ok() && read_back && differences.empty() && !interrupted;
}

CheckedWrite WriteAndReadBack(PanelSession& session, const PanelImage& wanted, WritePart part,
                              const WriteOptions& options) {
  if (!session.PortOpen()) throw EPortNotOpen(session.PortName());
  CheckedWrite result;
  result.wanted = wanted;
  const PanelImage over = KeysAlone(wanted);
  const PanelImage* before = part == WritePart::kNumbers ? &over : options.before;
  OperationRunner& runner = session.Runner();
  runner.Begin();
  try {
    const std::vector<Step> steps = ImageWriteSteps(wanted, before, options.keysLast);
    const size_t sent = SendImageWrites(runner, steps, options.stop);
    if (sent < steps.size() && !StoppedIn(runner.Story())) {
      result.interrupted = true;
      result.not_sent.assign(steps.begin() + static_cast<std::ptrdiff_t>(sent), steps.end());
    }
    // The writes' end is paid before the read-back: a late copy of one
    // write's "OK" must never be taken for a read's answer.
    runner.Settle();
    if (StoppedIn(runner.Story()) || result.interrupted || !options.readBack) {
      result.story = runner.Finish();
      return result;
    }
    if (options.beforeReadBack) options.beforeReadBack();
    PanelImage back = part == WritePart::kWholePanel
                          ? SendImageReads(runner, Phase::kReadBack, ReadOrder::kFirst)
                          : SendNumberReads(runner, wanted);
    result.story = runner.Finish();
    result.read_back = true;
    for (const StepOutcome& s : result.story.steps)
      if (s.step.phase == Phase::kReadBack && !s.Taken()) result.read_back = false;
    if (!result.read_back) return result;
    result.back = back;
  } catch (const EOperationFailed& failed) {
    result.story = failed.Story();
    runner.Drop();
    return result;
  }
  for (const std::string& field : ImageDifferences(wanted, result.back)) {
    if (part == WritePart::kNumbers && field.starts_with("key")) continue;
    result.differences.push_back(field);
  }
  return result;
}
