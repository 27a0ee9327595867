#pragma once
// The Touch Memory keys page's dialogue with the panel: the four key slots
// read into and written from the key list, and the key presented to the
// reader. The list shows keys in display order, the panel sees panel order.

#include "panel/page_interfaces.h"
#include "panel/page_link.h"
#include "panel/reply_checks.h"

// Replaces the list by four entries "1" to "4" with the keys of slots 1 to 4;
// a slot that does not answer shows sixteen "0". Errors of the exchange pass
// through; the entries appended so far stay.
void ReadKeys(KeyList& list, const CommandSender& send);
// The same through a reader that may refuse a reply (CheckedData): the error
// passes through with the entries appended so far.
void ReadKeys(KeyList& list, const DataReader& read);

// Writes rows 1 to 4 to slots 1 to 4 (an empty list writes sixteen "0" to
// each). A list of one to three entries writes the rows that exist, then
// raises EListError for the first missing one. When every command has been
// sent, raises EPanelWriteError if the panel did not accept some of them.
void WriteKeys(KeyList& list, const CommandSender& send);

// "Читать ключ": with a key row selected, reads the presented key (up to
// 5000 ms) into the reader's edit and the selected row, whose name becomes the
// row number. The title row sends nothing. An empty list gets the key into the
// edit and then raises EListError for entry 0.
void ReadPresentedKey(KeyList& list, const CommandSender& send);
// The same through a reader that may refuse the reply: a refusal changes
// nothing.
void ReadPresentedKey(KeyList& list, const DataReader& read);
