#pragma once
// The operating system's text for an error number, one formatter per
// platform, so that the same error reads the same wherever it is shown: in a
// serial error, a refused open or a settings-store failure.

#include <string>

// The system's text for number (errno on POSIX, GetLastError on Windows) in
// UTF-8, trimmed as TrimSystemText does; empty when the system has none.
std::string SystemErrorText(int number);

// The C library's text for an errno value that a file or stream call left, in
// UTF-8 on POSIX, trimmed the same way. POSIX has one numbering and this is
// SystemErrorText; on Windows the C library numbers its errors apart from
// GetLastError, and only this reads them right.
std::string CLibraryErrorText(int number);

// The system's own text with trailing full stops and blanks (code <= 32)
// removed, as it is embedded in the middle of a message.
std::string TrimSystemText(std::string text);
