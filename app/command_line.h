#pragma once
// What the window's program does before it makes a window: answer --help and
// --version without touching a port, and refuse to start without a display in
// one plain line instead of Qt's abort.

#include <iosfwd>
#include <optional>

// --help or --version anywhere on the command line: the text goes to `out`
// and the program's exit status is returned (0, or 1 when `out` could not be
// written). Nothing for any other command line: the window starts, and its
// first argument stays the debug switch.
std::optional<int> AnswerInformationalOptions(int argc, char** argv, std::ostream& out,
                                              std::ostream& err);

// Makes Qt's failure to reach a display (no platform plugin could be started)
// end the program with one line on standard error and exit status 1, and
// keeps back Qt's own start-up chatter about it. Call before QApplication is
// made, and EndDisplayWatch() once it is made.
void WatchForMissingDisplay();
void EndDisplayWatch();
