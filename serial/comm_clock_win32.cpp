// The serial subsystem's clock on Windows. A mirror image of
// comm_clock_posix.cpp.

#include <windows.h>

#include <cmath>

#include "serial/comm_device.h"

namespace {

// Set once, at the first reading: the counter's frequency does not change
// while the system runs.
struct PerfClock {
  bool available = false;
  LARGE_INTEGER frequency{};
  PerfClock() { available = QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0; }
};

}  // namespace

uint32_t TickMs() {
  static const PerfClock perf;
  LARGE_INTEGER counter;
  if (perf.available && QueryPerformanceCounter(&counter) && counter.QuadPart >= 0) {
    // Extended precision keeps the millisecond exact over the counter's whole
    // range; halves go to the even neighbour, as the default rounding does.
    const long double ms = static_cast<long double>(counter.QuadPart) /
                           static_cast<long double>(perf.frequency.QuadPart) * 1000.0L;
    return static_cast<uint32_t>(static_cast<uint64_t>(std::nearbyint(ms)));
  }
  return GetTickCount();
}
