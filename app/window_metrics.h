#pragma once
// Geometry and font of the windows. Positions and sizes are those of a
// 96 pixels-per-inch display. Qt 6 already scales its device-independent
// pixels with the screen; where the logical resolution still differs from 96
// (high-dpi scaling switched off, an X server with its own dpi), every
// position and the font grow with it, so the layout keeps its proportions.

#include <QFont>
#include <QRect>

// The factor of the primary screen's logical dpi over 96, taken once.
double LayoutScale();
int Dip(int pixels);
QRect DipRect(int left, int top, int width, int height);

// The windows' font: 11 pixels high at 96 dpi (8 point), regular. The design
// font "MS Sans Serif" has no Cyrillic on most systems; DejaVu Sans (Debian's
// fonts-dejavu-core) has, and Tahoma stands in on Windows. Where a face is
// too wide for the layout (an event caption would run under its number
// field) a narrower face or size is taken.
QFont WindowFont();
QFont BoldWindowFont();
