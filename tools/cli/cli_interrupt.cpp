#include "tools/cli/cli_interrupt.h"

#include "tools/cli/cli_platform.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnInterrupt(int) {
  g_stop = 1;
}

}  // namespace

InterruptScope::InterruptScope() {
  g_stop = 0;
  for (int signal : InterruptSignals())
    previous_.emplace_back(signal, std::signal(signal, OnInterrupt));
}

InterruptScope::~InterruptScope() {
  for (const auto& [signal, handler] : previous_) std::signal(signal, handler);
}

bool Interrupted() {
  return g_stop != 0;
}
