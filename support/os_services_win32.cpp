// The user's date and time formats come from the regional settings of the
// user; the executable's path from the module's file name.

#include <windows.h>

#include "platform/wide_text.h"
#include "support/debug_switch.h"
#include "support/os_services.h"
#include "support/text_codec.h"

namespace {

// log.txt holds code page 1251 whatever the system's ANSI code page: the
// formats may hold letters (month names, AM/PM marks, quoted words), so the
// text is taken in UTF-16 and converted here, as on POSIX. The formatting
// calls count the terminating NUL in their result.
std::string Cp1251OfResult(const wchar_t* buffer, int length) {
  if (length <= 1) return {};
  return Utf8ToCp1251(Utf8FromWide(buffer, static_cast<size_t>(length - 1)));
}

}  // namespace

std::string ShortDateText() {
  wchar_t buffer[256];
  return Cp1251OfResult(
      buffer, GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, buffer, 256));
}

std::string LongTimeText() {
  wchar_t buffer[256];
  return Cp1251OfResult(buffer,
                        GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buffer, 256));
}

std::string ExecutableDirectory() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    // The name was cut at the buffer's end: try again with more room.
    if (path.size() >= 65536) return {};
    path.resize(path.size() * 2);
  }
  const size_t separator = path.find_last_of("\\/:");
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}
