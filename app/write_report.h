#pragma once
// The window's words for a write from its pages: the question asked before
// values that were not read from this panel are written, and the one box
// that tells the result, either way.

#include <QString>
#include <array>
#include <vector>

#include "panel/checked_write.h"
#include "panel/commands.h"

// Which values of the pages were not read from the panel on the port.
struct UnreadValues {
  bool keys = false;
  std::array<bool, kKeySlots> placeholder{};  // keys the list shows as not read
  bool keys_list_empty = false;
  bool numbers = false;
  bool Any() const { return keys || numbers; }
};

// An event whose field holds a number that the write leaves out, since its
// dial box is unticked.
struct LeftOutNumber {
  int event;
  QString text;
};

// Names every value that the write would put into the panel on port and was
// not read from it, and asks whether to write them.
QString UnreadValuesQuestion(const PanelImage& wanted, const UnreadValues& unread,
                             const QString& port);

// The result of a write: done and read back the same, or which fields the
// panel refused or holds otherwise, with both values. A number left out for
// its unticked dial box is said either way.
QString WriteResultText(const CheckedWrite& result, WritePart part, const QString& port,
                        const std::vector<LeftOutNumber>& leftOut);
