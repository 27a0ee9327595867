// The serial subsystem's clock on POSIX. A mirror image of
// comm_clock_win32.cpp.

#include <time.h>

#include "serial/comm_device.h"

uint32_t TickMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}
