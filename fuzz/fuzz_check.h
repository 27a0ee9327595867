#pragma once
// A broken property ends the run like a crash, so that libFuzzer keeps the
// input that broke it.

#include <cstdio>
#include <cstdlib>

namespace fuzz {

[[noreturn]] inline void PropertyBroken(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, what);
  std::abort();
}

}  // namespace fuzz

#define FUZZ_CHECK(condition, what)                                     \
  do {                                                                  \
    if (!(condition)) ::fuzz::PropertyBroken(what, __FILE__, __LINE__); \
  } while (0)
