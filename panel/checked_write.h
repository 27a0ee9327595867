#pragma once
// A write from the window's pages as one operation: what the pages hold is
// written with every reply examined, then read back and compared, and the
// outcome comes back as data for the window to word. The copy it writes is
// the exact one of backups (panel_image.h), so the window's writes and the
// tool's share one write and one read.

#include <functional>
#include <string>
#include <vector>

#include "panel/page_interfaces.h"
#include "panel/panel_image.h"

class PanelSession;

// What a write covers: the whole panel, or the numbers page's flags and
// numbers (the keys are left as the panel holds them).
enum class WritePart { kWholePanel, kNumbers };

// What the pages put into the panel, as an exact copy: the list's rows 1 to 4
// as keys 1 to 4 (sixteen "0" each for an empty list), the boxes as the flag
// bits, and each event's number only when its dial box is ticked: the panel
// keeps no number for an event it does not dial, whatever the field holds.
// Raises EListError for a list of one to three entries, before anything is
// sent.
PanelImage PagesImage(const KeyList& keys, const NumbersPage& numbers);

// The events whose number field holds text that the write leaves out, since
// their dial box is unticked (events 1 to 6, in order).
std::vector<int> NumbersLeftOut(const NumbersPage& numbers);

struct CheckedWrite {
  PanelImage wanted;
  // The whole story: the probe when the write followed one, every write
  // sent, then the read-back's reads.
  Outcome story;
  bool read_back = false;  // every read-back answer was taken
  PanelImage back;
  // The fields of the part in which the panel read back differs from wanted,
  // named as the settings file names them, in file order.
  std::vector<std::string> differences;

  // Asked to stop (WriteOptions::stop): the writes after the last one sent
  // were not sent, and nothing was read back.
  bool interrupted = false;
  std::vector<Step> not_sent;

  // Every write confirmed, read back, and the same.
  bool Done() const;
  // Every write was answered with its "OK" alone and taken as confirmed.
  bool WritesConfirmed() const;
  // A write got no answer at all: nothing after it was sent, nothing read
  // back.
  bool Stopped() const;
  // The line or the log failed; before every write had gone out or after.
  bool Lost() const { return static_cast<bool>(story.lost); }
  bool LostAfterWrite() const;
};

// How a write is done beyond its part: the tool's `set` sends only the fields
// that differ from before (a copy just read), `--no-verify` reads nothing
// back, and a program may act between the write and its read-back.
struct WriteOptions {
  const PanelImage* before = nullptr;
  bool readBack = true;
  // The keys after the numbers: the tool's own order, in which the write's
  // end waits least. The window writes in the pages' order.
  bool keysLast = false;
  // Asked between two writes: true ends the write there (Ctrl-C).
  std::function<bool()> stop;
  std::function<void()> beforeReadBack;
};

// The one write of both programs: writes the part of wanted, reads the same
// part back and compares. Raises EPortNotOpen, sending nothing, when the port
// is closed; every other outcome is in the result.
CheckedWrite WriteAndReadBack(PanelSession& session, const PanelImage& wanted, WritePart part,
                              const WriteOptions& options = {});
