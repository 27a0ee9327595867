#pragma once
// The three standard descriptors at start-up.

// Opens each of descriptors 0, 1 and 2 that is closed on the null device. A
// program started with one closed would otherwise be handed that number by its
// next open (the serial port), and text meant for a terminal would go to the
// panel. Each is opened for the other direction (0 for writing, 1 and 2 for
// reading), so that reading or writing it fails as it would have when
// closed. Call it first thing in main(). Nothing to do on Windows, where the
// runtime keeps the numbers apart.
void OpenClosedStandardDescriptors();
