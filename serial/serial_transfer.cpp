// Timed transfers and the event dispatch chain of the serial component.

#include <algorithm>

#include "serial/serial_comm.h"

namespace {

// The idle hook runs at least this often while a transfer waits.
constexpr uint32_t kIdlePeriodMs = 50;
constexpr uint32_t kIdleMinGapMs = 40;

}  // namespace

uint32_t TCustomComm::QueuedBytes(int32_t kind) {
  if (!Opened()) RaiseDeviceError(sDeviceNotOpened, kErrNotOpened);
  CommQueueCounts counts;
  // A failed query reads as empty queues: both transfer loops then end by
  // their budgets.
  if (!device_->ClearErrors(counts)) return 0;
  if (kind == 0) return counts.cbInQue;
  if (kind == 1) return counts.cbOutQue;
  return 0;
}

uint32_t TCustomComm::WriteChunk(const uint8_t* data, uint32_t count) {
  uint32_t written = 0;
  if (!device_->Write(data, count, written))
    RaiseWin32DeviceError(sUnableToWrite, kErrWrite, device_->LastError());
  return written;
}

uint32_t TCustomComm::ReadChunk(uint8_t* data, uint32_t count) {
  uint32_t read = 0;
  if (!device_->Read(data, count, read))
    RaiseWin32DeviceError(sUnableToRead, kErrRead, device_->LastError());
  return read;
}

void TCustomComm::RunUnderLock(TCommLock lock, const NotifyHandler& handler) {
  struct Guard {
    TCommLocks& locks;
    TCommLock lock;
    ~Guard() { locks.Exclude(lock); }
  } guard{own_locks_, lock};
  own_locks_.Include(lock);
  if (handler) handler(*this);
}

void TCustomComm::CallIdleHook(bool force) {
  const uint32_t now = TickMs();
  if (!force && now - last_idle_ < kIdleMinGapMs) return;
  last_idle_ = now;
  if (idle_hook_) idle_hook_();
}

bool TCustomComm::WaitForLine(uint32_t start, uint32_t timeoutMs, bool forInput,
                              bool keepWhatArrived) {
  const uint32_t now = TickMs();
  const uint32_t elapsed = now - start;
  if (elapsed > timeoutMs) return false;
  // Sleep until the line is ready, the budget ends (it ends once elapsed
  // exceeds it, so one millisecond past it) or the idle hook is due,
  // whichever comes first.
  const uint32_t sinceIdle = now - last_idle_;
  const uint32_t untilIdle = sinceIdle >= kIdlePeriodMs ? 1 : kIdlePeriodMs - sinceIdle;
  const uint32_t slice = std::min(timeoutMs - elapsed + 1, untilIdle);
  const LineWait result = forInput ? device_->WaitReadable(slice) : device_->WaitWritable(slice);
  CallIdleHook(false);
  if (result == LineWait::kBroken && forInput) {
    // The far end has gone after this read already took bytes: they are the
    // caller's, and the next read reports the loss.
    if (keepWhatArrived) return false;
    // The far end has gone: let a read report it with the system's text
    // instead of waiting out the budget on a dead line.
    uint8_t probe = 0;
    ReadChunk(&probe, 0);
    // A driver that reports the line gone yet still reads without error
    // would be polled in a tight loop: the line is gone all the same.
    RaiseWin32DeviceError(sUnableToRead, kErrRead, device_->LastError());
  }
  return true;
}

uint32_t TCustomComm::SendData(const void* buffer, uint32_t count, uint32_t timeoutMs) {
  if (!Opened()) RaiseDeviceError(sDeviceNotOpened, kErrNotOpened);
  if (LockState().Contains(lkSend)) RaiseDeviceError(sSendLocked, kErrSendLocked);
  if (count == 0) return 0;
  const uint32_t start = TickMs();
  const auto* position = static_cast<const uint8_t*>(buffer);
  uint32_t written = 0;
  uint32_t remaining = count;
  while (remaining > 0) {
    // Never hand the driver more than its transmit queue has room for.
    const uint32_t room = static_cast<uint32_t>(buffers_.stored_output_size) - QueuedBytes(1);
    if (room != 0) {
      const uint32_t n = WriteChunk(position, std::min(room, remaining));
      DispatchEvents({deOutEmpty});
      if (n > 0) {
        written += n;
        remaining -= n;
        position += n;
        RunUnderLock(lkSend, OnSend);
        continue;
      }
    }
    if (!WaitForLine(start, timeoutMs, false, false)) break;
  }
  return written;
}

uint32_t TCustomComm::SendData(const void* buffer, uint32_t count) {
  return SendData(buffer, count, buffers_.stored_output_timeout);
}

bool TCustomComm::SendString(std::string_view text) {
  const auto length = static_cast<uint32_t>(text.size());
  return SendData(text.data(), length) == length;
}

uint32_t TCustomComm::ReadData(void* buffer, uint32_t count, uint32_t timeoutMs) {
  if (!Opened()) RaiseDeviceError(sDeviceNotOpened, kErrNotOpened);
  if (LockState().Contains(lkRead)) RaiseDeviceError(sReadLocked, kErrReadLocked);
  if (count == 0) return 0;
  const uint32_t start = TickMs();
  auto* position = static_cast<uint8_t*>(buffer);
  uint32_t read = 0;
  uint32_t remaining = count;
  while (remaining > 0) {
    const uint32_t queued = QueuedBytes(0);
    if (queued != 0) {
      uint32_t n = 0;
      if (!device_->Read(position, std::min(queued, remaining), n)) {
        // A line lost in the middle of an answer keeps what arrived before:
        // this read returns it, the next one raises.
        if (read > 0) break;
        RaiseWin32DeviceError(sUnableToRead, kErrRead, device_->LastError());
      }
      read += n;
      remaining -= n;
      position += n;
      RunUnderLock(lkRead, n > 0 ? OnRead : NotifyHandler());
      // A driver may count bytes that a read then does not deliver; such a
      // pass moved nothing and waits like one, or the loop would never end.
      if (n > 0) continue;
    }
    if (!WaitForLine(start, timeoutMs, true, read > 0)) break;
  }
  return read;
}

void TCustomComm::HoldEvents(bool hold) {
  if (!Opened()) return;
  // Only the user-interface thread changes the count.
  if (hold)
    hold_count_.store(hold_count_.load() + 1);
  else if (hold_count_.load() > 0)
    hold_count_.store(hold_count_.load() - 1);
}

// --- Event dispatch -------------------------------------------------------

void TCustomComm::DispatchEvents(TDeviceEvents events) {
  if (!Opened() || destroying_) return;
  for (TCommClient* client : std::vector<TCommClient*>(clients_))
    if (client->HookMode() & 1) client->EventHook(events);
  DoCommEvent(events);
  for (TCommClient* client : std::vector<TCommClient*>(clients_))
    if (client->HookMode() & 2) client->EventHook(events);
}

void TCustomComm::DoCommEvent(TDeviceEvents events) {
  if (events.Contains(deChar) || events.Contains(deFlag)) DoData(QueuedBytes(0));
  const TDeviceEvents shared = events & monitor_events_;
  if (hold_count_ == 0 && OnCommEvent && !shared.Empty()) OnCommEvent(*this, shared);
}

void TCustomComm::DoData(uint32_t received) {
  if (hold_count_ == 0 && OnData) OnData(*this, received);
}
