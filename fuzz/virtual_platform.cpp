// The virtual platform: what the real backends define (the clock, device
// names, the queue limit, opening a device), over a virtual clock, plus the
// scripted device that the SendCommand target drives.

#include "fuzz/virtual_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/virtual/silent_events.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/asan_interface.h>
#define ORVEX_FUZZ_ASAN 1
#endif
#endif

namespace fuzz {
namespace {

uint32_t g_clock = 0;

constexpr int kEio = 5;  // what a pulled-out adapter answers on POSIX

// A transfer may hand the device a count larger than the space behind its
// pointer and get away with it as long as few bytes are queued. Touching the
// first byte the caller does not own makes AddressSanitizer report it at once,
// with the allocation it overruns.
void RequireOwnedRegion(const uint8_t* data, uint32_t count) {
#ifdef ORVEX_FUZZ_ASAN
  if (count == 0) return;
  void* bad = __asan_region_is_poisoned(const_cast<uint8_t*>(data), count);
  if (bad != nullptr) {
    const volatile uint8_t* probe = static_cast<const volatile uint8_t*>(bad);
    (void)*probe;
  }
#else
  (void)data;
  (void)count;
#endif
}

class ScriptedDevice final : public SilentEvents {
 public:
  ScriptedDevice(const LineScript& script, LineLog& log)
      : script_(script), log_(log), opened_at_(g_clock) {
    uint64_t at = 0;
    for (const Arrival& a : script_.arrivals) {
      at += a.afterMs;
      arrival_at_.push_back(at);
    }
    log_.opened = true;
  }

  bool GetState(Dcb& dcb) override {
    Touch();
    dcb = dcb_;
    return true;
  }
  bool SetState(const Dcb& dcb) override {
    Touch();
    dcb_ = dcb;
    return true;
  }
  bool SetupQueues(uint32_t inputSize, uint32_t outputSize) override {
    Touch();
    sizes_ = {inputSize, outputSize};
    return true;
  }
  bool Purge(uint32_t actions) override {
    Touch();
    if (actions & kPurgeRxClear) rx_.clear();
    return true;
  }
  bool GetTimeouts(CommTimeouts& timeouts) override {
    Touch();
    timeouts = timeouts_;
    return true;
  }
  bool SetTimeouts(const CommTimeouts& timeouts) override {
    Touch();
    timeouts_ = timeouts;
    return true;
  }
  bool GetQueueSizes(CommQueueSizes& sizes) override {
    Touch();
    sizes = sizes_;
    return true;
  }

  bool ClearErrors(CommQueueCounts& counts) override {
    Touch();
    NoProgress();
    ++count_queries_;
    if (script_.failCountEvery != 0 && count_queries_ % script_.failCountEvery == 0) return false;
    if (!rx_.empty())
      counts.cbInQue = static_cast<uint32_t>(rx_.size()) + script_.inQueueExtra;
    else
      counts.cbInQue = script_.phantomCount ? script_.inQueueExtra : 0;
    counts.cbOutQue = script_.outQueueReported;
    return true;
  }

  bool Write(const uint8_t* data, uint32_t count, uint32_t& written) override {
    Touch();
    written = 0;
    StartAttempt();
    RequireOwnedRegion(data, count);
    ++writes_;
    if (broken_ || writes_ == script_.failWriteAt) return false;
    written = std::min(count, script_.writeLimit);
    log_.attempts.back().written.insert(log_.attempts.back().written.end(), data, data + written);
    if (written == 0)
      NoProgress();
    else
      idle_calls_ = 0;
    return true;
  }

  bool Read(uint8_t* data, uint32_t count, uint32_t& read) override {
    Touch();
    read = 0;
    RequireOwnedRegion(data, count);
    ++reads_;
    // Past the line's life every read fails, so that an exchange with a huge
    // budget on a line that never answers still ends.
    if (reads_ == script_.failReadAt || (broken_ && (rx_.empty() || Now() >= kLineLifeMs)))
      return false;
    read = static_cast<uint32_t>(std::min<size_t>(count, rx_.size()));
    if (read > 0) std::memcpy(data, rx_.data(), read);
    if (log_.inAttempt)
      log_.attempts.back().received.insert(log_.attempts.back().received.end(), rx_.begin(),
                                           rx_.begin() + read);
    else
      log_.readOutside += read;
    rx_.erase(rx_.begin(), rx_.begin() + read);
    if (read == 0)
      NoProgress();
    else
      idle_calls_ = 0;
    return true;
  }

  LineWait WaitReadable(uint32_t timeoutMs) override {
    Touch();
    idle_calls_ = 0;
    if (broken_) {
      Advance(1);
      return LineWait::kBroken;
    }
    if (!rx_.empty()) {
      Advance(1);
      return LineWait::kReady;
    }
    // Sleeps until the next arrival or the end of the wait, whichever is first.
    const uint64_t now = Now();
    uint64_t until = now + std::max<uint32_t>(timeoutMs, 1);
    if (next_ < arrival_at_.size()) until = std::min(until, std::max(arrival_at_[next_], now + 1));
    Advance(static_cast<uint32_t>(until - now));
    Deliver();
    if (!rx_.empty()) return LineWait::kReady;
    return broken_ ? LineWait::kBroken : LineWait::kTimedOut;
  }

  LineWait WaitWritable(uint32_t timeoutMs) override {
    Touch();
    idle_calls_ = 0;
    StartAttempt();
    if (broken_) {
      Advance(1);
      return LineWait::kBroken;
    }
    // The script's line never drains: a writer that has to wait waits it out.
    Advance(std::max<uint32_t>(timeoutMs, 1));
    return LineWait::kTimedOut;
  }

  SystemError LastError() const override { return {kEio, "Input/output error"}; }

 private:
  uint64_t Now() const { return static_cast<uint32_t>(g_clock - opened_at_); }

  void Advance(uint32_t ms) {
    g_clock += ms;
    Deliver();
  }

  // Every call: bytes whose time has come reach the queue, and a line that has
  // lived too long breaks.
  void Touch() {
    ++log_.calls;
    if (log_.calls > kLineCallLimit) broken_ = true;
    Deliver();
  }

  void Deliver() {
    const uint64_t now = Now();
    if (now >= kLineLifeMs) broken_ = true;
    while (next_ < arrival_at_.size() && arrival_at_[next_] <= now) {
      const Arrival& a = script_.arrivals[next_++];
      if (a.hangUp) broken_ = true;
      for (uint8_t b : a.bytes) {
        if (b == 0 && (dcb_.Flags & kDcbNull) && !script_.keepNulls) continue;
        rx_.push_back(b);
      }
    }
  }

  void StartAttempt() {
    if (log_.inAttempt) return;
    log_.attempts.emplace_back();
    log_.attempts.back().sendStart = g_clock;
    log_.attempts.back().readBefore = log_.readOutside;
    log_.readOutside = 0;
    log_.inAttempt = true;
  }

  void NoProgress() {
    if (++idle_calls_ <= kSpinLimit) return;
    std::fprintf(stderr,
                 "the serial component asked the device %u times in a row without waiting and "
                 "without moving a byte: on a real port this hangs the window's thread\n",
                 kSpinLimit);
    std::abort();
  }

  const LineScript& script_;
  LineLog& log_;
  const uint32_t opened_at_;
  std::vector<uint64_t> arrival_at_;
  size_t next_ = 0;
  std::vector<uint8_t> rx_;
  bool broken_ = false;
  Dcb dcb_;
  CommTimeouts timeouts_;
  CommQueueSizes sizes_;
  uint32_t count_queries_ = 0;
  uint32_t writes_ = 0;
  uint32_t reads_ = 0;
  uint32_t idle_calls_ = 0;
};

}  // namespace

void SetVirtualClock(uint32_t ms) {
  g_clock = ms;
}

uint32_t VirtualClock() {
  return g_clock;
}

void LineLog::EndAttempt() {
  if (!inAttempt) return;
  attempts.back().end = g_clock;
  attempts.back().ended = true;
  inAttempt = false;
}

std::unique_ptr<CommDevice> MakeScriptedDevice(const LineScript& script, LineLog& log) {
  return std::make_unique<ScriptedDevice>(script, log);
}

}  // namespace fuzz

// --- What the platform backend defines ------------------------------------

uint32_t TickMs() {
  return fuzz::VirtualClock();
}

// The rest of the platform: tests/virtual/no_real_devices.cpp.
