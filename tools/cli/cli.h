#pragma once
// orvex-gsm-cli: the panel link without a window, for installers who
// configure many panels and keep a backup of each.

#include <iosfwd>
#include <string>
#include <vector>

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitCannotWrite = 1;  // the output, the log or the settings store
inline constexpr int kExitUsage = 2;        // bad arguments or a refused settings file
inline constexpr int kExitNoAnswer = 3;     // the panel did not answer the probe
inline constexpr int kExitNotAccepted = 4;  // a command not accepted, or its reply refused
inline constexpr int kExitCannotOpen = 5;   // the port cannot be opened
inline constexpr int kExitDiffers = 6;      // the panel read back differs

// Runs one command line (arguments without the program name). Reads a
// settings file from `in` for "write -".
int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err);
