#pragma once
// orvex-gsm-cli's exit codes and the start of each of its messages, shared by
// every command.

#include <iosfwd>
#include <string>

inline constexpr int kExitOk = 0;
inline constexpr int kExitCannotWrite = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoAnswer = 3;
inline constexpr int kExitNotAccepted = 4;
inline constexpr int kExitCannotOpen = 5;
inline constexpr int kExitDiffers = 6;
// 128 + SIGINT's number, as shells report a program ended by Ctrl-C.
inline constexpr int kExitInterrupted = 130;

struct ExitCodeMeaning {
  int code;
  const char* meaning;
};

// What each exit code means, worded once: --help prints it, and a test holds
// the manual page and README to the same words.
inline constexpr ExitCodeMeaning kExitCodeMeanings[] = {
    {kExitOk, "done"},
    {kExitCannotWrite, "the output, log.txt or the settings store could not be written"},
    {kExitUsage, "bad arguments, or a settings file refused (nothing was sent)"},
    {kExitNoAnswer, "the panel did not answer the probe"},
    {kExitNotAccepted,
     "a command was not accepted, its reply was refused, or the line was lost during an "
     "exchange (each is named)"},
    {kExitCannotOpen, "the port cannot be opened (the cause is given)"},
    {kExitDiffers,
     "the panel read back differs from what was written, or from FILE for diff (each field is "
     "named with both values)"},
    {kExitInterrupted,
     "interrupted (Ctrl-C): nothing more was sent, and which fields the panel confirmed is named"},
};

// The "Exit status:" part of --help: one code a line, wrapped to 80 columns.
std::string ExitStatusHelp();

inline constexpr const char* kProgramName = "orvex-gsm-cli";

// Writes text to err with every line begun by "orvex-gsm-cli: ", so that each
// line of a message says whose it is when several programs share a terminal.
void Tell(std::ostream& err, const std::string& text);
