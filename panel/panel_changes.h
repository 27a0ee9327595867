#pragma once
// A change of a few fields of a panel whose exact copy was just read: only
// the commands that carry a changed field are sent, so that a panel on a
// slow line is touched no more than needed, and whatever the user did not
// name is never rewritten from a copy.

#include "panel/page_link.h"
#include "panel/panel_image.h"

// Sends, in the order of a whole write (keys, the flag bytes, numbers), the
// command of each field in which after differs from before; both flag bytes
// go in one command, sent when any dial or 24-hour flag changed. Afterwards
// EPanelWriteError names the unconfirmed ones. Nothing is sent when the two
// images are the same.
void WritePanelChanges(const CommandSender& send, const PanelImage& before,
                       const PanelImage& after);
