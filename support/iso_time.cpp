// The moment of a read as a backup's header gives it, from the calendars of
// the platform seam: the same text from the window and the tool.

#include <cstdio>
#include <cstdlib>

#include "support/system_io.h"

// The offset is worked out from the two calendars, since strftime's %z gives
// the zone's name on Windows.
std::string IsoTimeNow() {
  const std::time_t now = std::time(nullptr);
  const std::tm local = LocalCalendar(now);
  const std::tm utc = UtcCalendar(now);
  int days = local.tm_yday - utc.tm_yday;
  if (local.tm_year != utc.tm_year) days = local.tm_year > utc.tm_year ? 1 : -1;
  const int minutes = days * 1440 + (local.tm_hour - utc.tm_hour) * 60 + local.tm_min - utc.tm_min;
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                minutes < 0 ? '-' : '+', std::abs(minutes) / 60, std::abs(minutes) % 60);
  return text;
}
