#pragma once
// The thread that waits for line events of an open device and hands every
// event word to its component.

#include <atomic>
#include <cstdint>
#include <thread>

class TCustomComm;
class CommDevice;

class TCommEventThread {
 public:
  // Every event but deOutEmpty, which only SendData reports.
  static constexpr uint32_t kWaitMask = 0x1FFB;

  // Sets the device's event mask and starts waiting.
  TCommEventThread(TCustomComm& comm, CommDevice& device);
  // Stops the thread and waits for its end, serving the synchronize queue
  // meanwhile so that a delivery the thread is blocked on can complete.
  ~TCommEventThread();
  TCommEventThread(const TCommEventThread&) = delete;
  TCommEventThread& operator=(const TCommEventThread&) = delete;

  // Passes the last event word to the component.
  void DeliverEvents();

 private:
  void Execute();

  TCustomComm& comm_;
  CommDevice& device_;
  std::atomic<bool> StopEvent{false};
  std::atomic<bool> finished_{false};
  uint32_t event_word_ = 0;
  std::thread thread_;
};
