#include "fakes/serve.h"

#include <chrono>
#include <thread>

#include "serial/sync_queue.h"

bool ServeUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < until) {
    SynchronizeQueue::Instance().Serve();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  SynchronizeQueue::Instance().Serve();
  return done();
}

void ServeFor(int ms) {
  ServeUntil([] { return false; }, ms);
}
