#include "panel/checked_write.h"

#include "panel/commands.h"
#include "panel/encodings.h"
#include "panel/page_link.h"
#include "panel/panel_errors.h"
#include "panel/panel_session.h"
#include "panel/reply_checks.h"

namespace {

// The flags and the six numbers, as the exact read takes them: every reply
// checked, and nothing may follow the last answer.
PanelImage ReadNumbersBack(PanelSession& session, const PanelImage& wanted) {
  const DataReader read = session.CheckedReader();
  PanelImage back = wanted;
  const FlagBytes flags =
      DecodeFlagBytes(read(std::string(kFlagsReadCommand), kFlagsBudget, ReplyShape::kFlags));
  back.dial = flags.dial & kFlagBits;
  back.day = flags.day & kFlagBits;
  for (const PanelEvent& event : kPanelEvents) {
    const std::string data =
        read(NumberReadCommand(event.number), kNumberBudget, ReplyShape::kNumber);
    back.numbers[event.number - 1] = AsciiUpper(data.substr(2));
  }
  if (const std::string more = session.AfterLastAnswer(); !more.empty()) {
    const std::string last = NumberReadCommand(kEventCount);
    throw EPanelReplyError(last, ReplyProblem::kFollowed, ReplyShape::kNumber, more);
  }
  return back;
}

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

bool CheckedWrite::Done() const {
  return unconfirmed.empty() && stopped_at.empty() && read_refused.empty() && read_back &&
         differences.empty() && !lost;
}

CheckedWrite WriteAndReadBack(PanelSession& session, const PanelImage& wanted, WritePart part,
                              const WriteOptions& options) {
  if (!session.PortOpen()) throw EPortNotOpen(session.PortName());
  CheckedWrite result;
  result.wanted = wanted;
  const PanelImage over = KeysAlone(wanted);
  const PanelImage* before = part == WritePart::kNumbers ? &over : options.before;
  try {
    session.WriteImage(wanted, before);
  } catch (const EPanelWriteError& error) {
    // A refused write still leaves the panel in a state worth reading back.
    result.unconfirmed = error.Commands();
    result.unconfirmed_replies = error.Replies();
    result.doubt_from = error.DoubtFrom();
  } catch (const EPanelStoppedAnswering& error) {
    result.stopped_at = error.Command();
    return result;
  } catch (const std::exception&) {
    result.lost = std::current_exception();
    return result;
  }
  if (!options.readBack) return result;
  if (options.beforeReadBack) options.beforeReadBack();
  try {
    result.back =
        part == WritePart::kWholePanel ? session.ReadImage() : ReadNumbersBack(session, wanted);
    result.read_back = true;
  } catch (const EPanelReadError& error) {
    result.read_refused = error.Refused();
    return result;
  } catch (const EPanelReplyError& error) {
    result.read_refused = {{error.Command(), error.Problem(), error.Shape(), error.Reply()}};
    return result;
  } catch (const std::exception&) {
    result.lost = std::current_exception();
    result.lost_after_write = true;
    return result;
  }
  for (const std::string& field : ImageDifferences(wanted, result.back)) {
    if (part == WritePart::kNumbers && field.starts_with("key")) continue;
    result.differences.push_back(field);
  }
  return result;
}
