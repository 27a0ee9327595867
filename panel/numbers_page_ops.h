#pragma once
// The dialing numbers page's dialogue with the panel: the two flag bytes and
// the six numbers.

#include "panel/page_interfaces.h"
#include "panel/page_link.h"
#include "panel/reply_checks.h"

// Shows the boxes of events 5 and 6 only in debug mode, reads the flag bytes
// and the numbers of the events whose dial box is ticked. Flags data enables
// the page and sets every box to its bit, so that the page shows this panel
// and not the one read before; no flags data disables the page and ticks
// every dial box. Every number field is emptied; a number that is absent
// unticks its dial box. A conversion error (EConvertError) ends the read
// where it happens; what is set stays set.
void ReadNumsBClick(NumbersPage& page, const CommandSender& send, bool debugMode);
// The same through a reader that may refuse a reply (CheckedData): the error
// ends the read where it happens.
void ReadNumsBClick(NumbersPage& page, const DataReader& read, bool debugMode);

// Sends the flag bytes and all six numbers (32 zeros for an event whose dial
// box is unticked or whose field is empty), whatever the replies. Afterwards
// raises EPanelWriteError if the panel did not accept some of them.
void WriteNumsBClick(NumbersPage& page, const CommandSender& send);
