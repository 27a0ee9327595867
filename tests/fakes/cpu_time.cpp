#include "fakes/cpu_time.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#else
#include <sys/resource.h>
#endif

namespace orvex_test {

#ifdef _WIN32

double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME& t) {
    return ((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

double ChildrenCpuSeconds() {
  return 0;
}

#else

namespace {

double Spent(int who) {
  rusage usage{};
  getrusage(who, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

double CpuSeconds() {
  return Spent(RUSAGE_SELF);
}

double ChildrenCpuSeconds() {
  return Spent(RUSAGE_CHILDREN);
}

#endif

}  // namespace orvex_test
