// The user's date and time formats come from the LC_TIME locale of the
// environment (LC_ALL, LC_TIME, LANG); the executable's path from /proc.

#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <cstring>
#include <ctime>

#include "support/debug_switch.h"
#include "support/os_services.h"
#include "support/text_codec.h"

namespace {

// The C library starts in the "C" locale; the user's settings are taken into
// it once, when the first stamp is made.
void TakeUserTimeLocale() {
  static const bool taken = [] {
    std::setlocale(LC_TIME, "");
    return true;
  }();
  (void)taken;
}

std::string FormatNow(nl_item formatItem, const char* fallback) {
  TakeUserTimeLocale();
  const char* format = nl_langinfo(formatItem);
  if (format == nullptr || *format == '\0') format = fallback;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return {};
  char buffer[256];
  std::string text(buffer, std::strftime(buffer, sizeof buffer, format, &local));
  // log.txt holds code page 1251, while a UTF-8 locale spells its month names
  // and AM/PM marks in UTF-8.
  if (std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0) text = Utf8ToCp1251(text);
  return text;
}

}  // namespace

std::string ShortDateText() {
  return FormatNow(D_FMT, "%m/%d/%y");
}

std::string LongTimeText() {
  return FormatNow(T_FMT, "%H:%M:%S");
}

std::string ExecutableDirectory() {
  std::string path(256, '\0');
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0) return {};
    if (static_cast<size_t>(length) < path.size()) {
      path.resize(static_cast<size_t>(length));
      break;
    }
    // The link may have been cut at the buffer's end: try again with more room.
    if (path.size() >= 65536) return {};
    path.resize(path.size() * 2);
  }
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
