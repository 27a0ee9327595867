#include "serial/event_thread.h"

#include "serial/serial_comm.h"
#include "serial/sync_queue.h"

TCommEventThread::TCommEventThread(TCustomComm& comm, CommDevice& device)
    : comm_(comm), device_(device) {
  device_.SetEventMask(kWaitMask);
  thread_ = std::thread([this] { Execute(); });
}

TCommEventThread::~TCommEventThread() {
  StopEvent = true;
  device_.CancelEventWait();
  SynchronizeQueue::Instance().ServeUntil([this] { return finished_.load(); });
  thread_.join();
}

void TCommEventThread::Execute() {
  try {
    while (!StopEvent) {
      uint32_t word = 0;
      if (!device_.WaitEvent(word) || StopEvent) break;
      event_word_ = word;
      if (comm_.Synchronize())
        SynchronizeQueue::Instance().Run([this] { DeliverEvents(); });
      else
        DeliverEvents();
    }
  } catch (...) {
    // A handler that raised ends the thread; nobody is told.
  }
  device_.SetEventMask(0);
  finished_ = true;
  SynchronizeQueue::Instance().Notify();
}

void TCommEventThread::DeliverEvents() {
  if (event_word_ != 0)
    comm_.DispatchEvents(TDeviceEvents::FromBits(static_cast<uint16_t>(event_word_)));
}
