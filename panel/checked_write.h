#pragma once
// A write from the window's pages as one operation: what the pages hold is
// written with every reply examined, then read back and compared, and the
// outcome comes back as data for the window to word. The copy it writes is
// the exact one of backups (panel_image.h), so the window's writes and the
// tool's share one write and one read.

#include <exception>
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
  // The writes the panel did not confirm, named without their data ("+T02"),
  // each with what came instead of "OK" alone (empty when nothing was taken).
  std::vector<std::string> unconfirmed;
  std::vector<std::string> unconfirmed_replies;
  // When the panel answered more often than it was asked: the first write
  // from which no "OK" can be taken as confirmation (EPanelWriteError).
  std::string doubt_from;
  // The write to which nothing at all came: nothing after it was sent, and
  // nothing was read back.
  std::string stopped_at;
  // The read-back's replies that could not be taken.
  std::vector<RefusedReply> read_refused;
  bool read_back = false;
  PanelImage back;
  // The fields of the part in which the panel read back differs from wanted,
  // named as the settings file names them, in file order.
  std::vector<std::string> differences;
  // The line or the log failed: the error, and whether every write had gone
  // out before it did.
  std::exception_ptr lost;
  bool lost_after_write = false;

  // Every write confirmed, read back, and the same.
  bool Done() const;
};

// How a write is done beyond its part: the tool's `set` sends only the fields
// that differ from before (a copy just read), `--no-verify` reads nothing
// back, and a program may act between the write and its read-back.
struct WriteOptions {
  const PanelImage* before = nullptr;
  bool readBack = true;
  std::function<void()> beforeReadBack;
};

// The one write of both programs: writes the part of wanted, reads the same
// part back and compares. Raises EPortNotOpen, sending nothing, when the port
// is closed; every other outcome is in the result.
CheckedWrite WriteAndReadBack(PanelSession& session, const PanelImage& wanted, WritePart part,
                              const WriteOptions& options = {});
