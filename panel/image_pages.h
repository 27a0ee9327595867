#pragma once
// The exact copy of the panel shown on the window's pages: after a backup or
// a restore the pages show what the panel holds, as a whole-panel read would
// have shown it, and more: every number the copy holds, also of an event
// whose dial box is clear.

#include "panel/page_interfaces.h"
#include "panel/panel_image.h"

// Keys 1 to 4 into the key list, the flag bits into the boxes (each change
// runs the box's click handler), the numbers into their fields. debugMode
// decides whether the boxes of events 5 and 6 show, as the numbers read does.
void ShowPanelImage(const PanelImage& image, KeyList& keys, NumbersPage& numbers, bool debugMode);
