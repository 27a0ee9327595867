#include "serial/sync_queue.h"

#include <chrono>

SynchronizeQueue& SynchronizeQueue::Instance() {
  static SynchronizeQueue queue;
  return queue;
}

void SynchronizeQueue::SetWaker(std::function<void()> waker) {
  std::lock_guard<std::mutex> lock(mutex_);
  waker_ = std::move(waker);
}

void SynchronizeQueue::Run(std::function<void()> call) {
  auto pending = std::make_shared<Pending>();
  pending->call = std::move(call);
  std::function<void()> waker;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(pending);
    waker = waker_;
  }
  changed_.notify_all();
  if (waker) waker();
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return pending->done; });
  if (pending->error) std::rethrow_exception(pending->error);
}

bool SynchronizeQueue::Serve() {
  bool ran = false;
  for (;;) {
    std::shared_ptr<Pending> pending;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty()) break;
      pending = queue_.front();
      queue_.pop_front();
    }
    try {
      pending->call();
    } catch (...) {
      pending->error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      pending->done = true;
    }
    changed_.notify_all();
    ran = true;
  }
  return ran;
}

void SynchronizeQueue::ServeUntil(const std::function<bool()>& done) {
  for (;;) {
    Serve();
    std::unique_lock<std::mutex> lock(mutex_);
    if (done()) return;
    // The timeout only guards against a condition that changes without a
    // Notify; every thread that ends calls Notify.
    changed_.wait_for(lock, std::chrono::milliseconds(20),
                      [&] { return !queue_.empty() || done(); });
    if (queue_.empty() && done()) return;
  }
}

void SynchronizeQueue::Notify() {
  { std::lock_guard<std::mutex> lock(mutex_); }
  changed_.notify_all();
}
