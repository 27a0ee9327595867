#include "panel/numbers_page_ops.h"

#include "panel/commands.h"
#include "panel/encodings.h"

void ReadNumsBClick(NumbersPage& page, const CommandSender& send, bool debugMode) {
  ReadNumsBClick(page, LiteralData(send), debugMode);
}

void ReadNumsBClick(NumbersPage& page, const DataReader& read, bool debugMode) {
  page.SetSpareBoxesVisible(debugMode);

  const std::string flagsData =
      read(std::string(kFlagsReadCommand), kFlagsBudget, ReplyShape::kFlags);
  if (!flagsData.empty()) {
    page.SetEnabled(true);
    const FlagBytes flags = DecodeFlagBytes(flagsData);
    // A clear bit unticks its box: a box left ticked from an earlier panel
    // would be written back as dialing this panel never had.
    for (const PanelEvent& event : kPanelEvents) {
      page.SetDialTicked(event.number, (flags.dial & event.bit) != 0);
    }
    for (const PanelEvent& event : kPanelEvents) {
      page.SetDayTicked(event.number, (flags.day & event.bit) != 0);
    }
  } else {
    // Without the flags every number is asked for; those that do not answer
    // untick their boxes below.
    page.SetEnabled(false);
    for (const PanelEvent& event : kPanelEvents) page.SetDialTicked(event.number, true);
  }

  for (const PanelEvent& event : kPanelEvents) {
    page.SetNumberText(event.number, {});
    if (!page.DialTicked(event.number)) continue;
    const auto number =
        DecodeNumber(read(NumberReadCommand(event.number), kNumberBudget, ReplyShape::kNumber));
    if (number) {
      page.SetNumberText(event.number, *number);
    } else {
      page.SetDialTicked(event.number, false);
    }
  }
}

void WriteNumsBClick(NumbersPage& page, const CommandSender& send) {
  EventTicks dial{};
  EventTicks day{};
  for (const PanelEvent& event : kPanelEvents) {
    dial[event.number - 1] = page.DialTicked(event.number);
    day[event.number - 1] = page.DayTicked(event.number);
  }

  UnconfirmedWrites unconfirmed;
  std::string reply;
  send(FlagsWriteCommand(EncodeFlagByte(dial), EncodeFlagByte(day)), kCommandAttempts, kFlagsBudget,
       reply);
  unconfirmed.Note(std::string(kFlagsReadCommand), reply);

  for (const PanelEvent& event : kPanelEvents) {
    // An unticked event is written as no number, also when its field still
    // holds text.
    const std::string text = page.NumberText(event.number);
    const std::string digits =
        page.DialTicked(event.number) && !text.empty() ? EncodeNumber(text) : EncodeNumber({});
    reply.clear();
    send(NumberWriteCommand(event.number, digits), kCommandAttempts, kNumberBudget, reply);
    unconfirmed.Note(NumberReadCommand(event.number), reply);
  }
  unconfirmed.RaiseIfAny();
}
