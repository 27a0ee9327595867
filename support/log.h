#pragma once
// The diagnostic log: a trace of the program's work appended to "log.txt" in
// the current directory while debug mode is on.

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Debug mode: false at start, set once at start-up: by the window's debug
// switch, or by the command-line tool from its --debug option.
extern bool DebugMode;

// The empty byte array passed with message lines.
extern const std::vector<uint8_t> EmptyData;

// Raised when "log.txt" cannot be opened, written or flushed.
class EInOutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Appends one entry to "log.txt" while DebugMode is on, and does nothing
// (touches no file) otherwise. message is 8-bit (code page 1251) text; data is
// used only when message is empty, and its zero bytes are skipped.
//   stamped, message:    "# <stamp> # <message> #\r\n"
//   stamped, no message: "# <stamp> # ", the data bytes, " ###\r\n"
//   plain, message:      the message alone
//   plain, no message:   the data bytes alone
// Every piece, each data byte on its own, is flushed to the system before the
// next is written, so the file holds the trace up to the moment of a crash.
void WriteLog(std::string_view message, bool stamped, std::span<const uint8_t> data);

// The user's short date format, a blank, the user's long time format; date and
// time are each taken at the moment they are formatted.
std::string LogStamp();
