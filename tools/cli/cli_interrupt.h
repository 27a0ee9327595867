#pragma once
// Ctrl-C (and the system's other requests to end: SIGTERM, SIGHUP where
// there is one) while the tool talks to a panel: the work stops between two
// commands, never in the middle of one, and says what it left. The handlers
// last as long as the scope; the previous ones come back afterwards.

#include <csignal>
#include <vector>

class InterruptScope {
 public:
  InterruptScope();
  ~InterruptScope();
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

 private:
  std::vector<std::pair<int, void (*)(int)>> previous_;
};

// Whether an end was asked for since the scope began.
bool Interrupted();
