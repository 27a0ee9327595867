#include "panel/numbers_page_ops.h"

#include "panel/commands.h"
#include "panel/encodings.h"

void ReadNumsBClick(NumbersPage& page, const DataReader& read, bool debugMode) {
  page.SetSpareBoxesVisible(debugMode);

  const std::string flagsData = read(FlagsReadStep(Phase::kRead));
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
    const auto number = DecodeNumber(read(NumberReadStep(event.number, Phase::kRead)));
    if (number) {
      page.SetNumberText(event.number, *number);
    } else {
      page.SetDialTicked(event.number, false);
    }
  }
}
