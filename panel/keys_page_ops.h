#pragma once
// The Touch Memory keys page's read of the four key slots into the key list.
// The list shows keys in display order, the panel sees panel order. (The
// key at the reader is presented_key.h's, every write checked_write.h's.)

#include "panel/operation.h"
#include "panel/page_interfaces.h"

// Replaces the list by four entries "1" to "4" with the keys of slots 1 to 4;
// a short key is padded with "0" in front. Through the runner
// (StepReader) a key is 16 digits or none, a slot in no use: fewer digits
// are another command's answer (the flags' four), which padding would show
// as a key. A refused reply passes its error through with the entries
// appended so far.
void ReadKeys(KeyList& list, const DataReader& read);
