// The user's date and time formats come from the regional settings of the
// user; the executable's path from the module's file name.

#include <windows.h>

#include "support/debug_switch.h"
#include "support/os_services.h"

namespace {

// The formatting calls count the terminating NUL in their result.
std::string TextOfResult(const char* buffer, int length) {
  return length > 0 ? std::string(buffer, static_cast<size_t>(length - 1)) : std::string();
}

}  // namespace

std::string ShortDateText() {
  char buffer[256];
  return TextOfResult(buffer, GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr,
                                             buffer, sizeof buffer));
}

std::string LongTimeText() {
  char buffer[256];
  return TextOfResult(
      buffer, GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buffer, sizeof buffer));
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
