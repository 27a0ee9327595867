#pragma once
// orvex-gsm-cli's exit codes and the start of each of its messages, shared by
// every command.

#include <iosfwd>
#include <string>

inline constexpr int kExitOk = 0;
inline constexpr int kExitCannotWrite = 1;  // the output, the log or the settings store
inline constexpr int kExitUsage = 2;        // bad arguments or a refused settings file
inline constexpr int kExitNoAnswer = 3;     // the panel did not answer the probe
inline constexpr int kExitNotAccepted = 4;  // a command not accepted, or its reply refused
inline constexpr int kExitCannotOpen = 5;   // the port cannot be opened
inline constexpr int kExitDiffers = 6;      // the panel read back differs

inline constexpr const char* kProgramName = "orvex-gsm-cli";

// Writes text to err with every line begun by "orvex-gsm-cli: ", so that each
// line of a message says whose it is when several programs share a terminal.
void Tell(std::ostream& err, const std::string& text);
