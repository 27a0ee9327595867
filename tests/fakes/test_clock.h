#pragma once
// Time as the tests measure it, with the standard library's steady clock,
// beside what the code under test measures with its own.

#include <chrono>
#include <utility>

namespace orvex_test {

using Clock = std::chrono::steady_clock;

// Milliseconds since start.
inline int MsSince(Clock::time_point start) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// How long a call takes, in milliseconds.
template <typename F>
int ElapsedMs(F&& f) {
  const auto start = Clock::now();
  std::forward<F>(f)();
  return MsSince(start);
}

}  // namespace orvex_test
