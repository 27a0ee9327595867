#pragma once
// Calls that event threads hand to the user-interface thread. An event thread
// enqueues its call and waits until the user-interface thread has run it; the
// window wakes its event loop to serve the queue, and a component that closes
// serves it while it waits for its thread, so a close never deadlocks on a
// pending delivery.

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

class SynchronizeQueue {
 public:
  static SynchronizeQueue& Instance();

  // The user-interface side's way to be woken for Serve (called on the event
  // thread right after a call was queued). Without one, calls wait until the
  // user-interface thread serves the queue by itself.
  void SetWaker(std::function<void()> waker);

  // Event thread: runs call on the user-interface thread and waits for it.
  // An exception the call raised is raised here again.
  void Run(std::function<void()> call);

  // User-interface thread: runs every call queued so far. True if any ran.
  bool Serve();

  // User-interface thread: serves calls until done() holds. done is looked at
  // after every call and whenever Notify is called.
  void ServeUntil(const std::function<bool()>& done);

  // Wakes ServeUntil to look at its condition again.
  void Notify();

 private:
  struct Pending {
    std::function<void()> call;
    bool done = false;
    std::exception_ptr error;
  };
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<Pending>> queue_;
  std::function<void()> waker_;
};
