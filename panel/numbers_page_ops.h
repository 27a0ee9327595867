#pragma once
// The dialing numbers page's read: the two flag bytes and the six numbers.
// (Its write is checked_write.h's.)

#include "panel/operation.h"
#include "panel/page_interfaces.h"

// Shows the boxes of events 5 and 6 only in debug mode, reads the flag bytes
// and the numbers of the events whose dial box is ticked. Flags data enables
// the page and sets every box to its bit, so that the page shows this panel
// and not the one read before; no flags data disables the page and ticks
// every dial box. Every number field is emptied; a number that is absent
// unticks its dial box. A conversion error (EConvertError) ends the read
// where it happens; what is set stays set.
void ReadNumsBClick(NumbersPage& page, const DataReader& read, bool debugMode);
