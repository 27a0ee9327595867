#pragma once
// Line events for a device on a virtual line, which has none to report: the
// component's event thread waits until the port closes. The event calls are
// the only ones the event thread makes, hence their own lock.

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "serial/comm_device.h"

class SilentEvents : public CommDevice {
 public:
  bool SetEventMask(uint32_t mask) override {
    {
      std::lock_guard<std::mutex> lock(event_mutex_);
      event_mask_ = mask;
    }
    event_changed_.notify_all();
    return true;
  }
  bool WaitEvent(uint32_t& events) override {
    events = 0;
    std::unique_lock<std::mutex> lock(event_mutex_);
    event_changed_.wait(lock, [this] { return event_cancelled_ || event_mask_ == 0; });
    return false;
  }
  void CancelEventWait() override {
    {
      std::lock_guard<std::mutex> lock(event_mutex_);
      event_cancelled_ = true;  // also ends a wait that has not begun yet
    }
    event_changed_.notify_all();
  }

 private:
  std::mutex event_mutex_;
  std::condition_variable event_changed_;
  uint32_t event_mask_ = 0;
  bool event_cancelled_ = false;
};
