#include "fakes/fake_comm_device.h"

#include <algorithm>
#include <chrono>

void FakeLine::Arrive(const std::string& bytes, uint32_t afterMs) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    pending.push_back({TickMs() + afterMs, bytes});
    std::stable_sort(pending.begin(), pending.end(), [](const Pending& a, const Pending& b) {
      return static_cast<int32_t>(a.due - b.due) < 0;
    });
    ReleaseDueLocked();
  }
  arrived.notify_all();
}

void FakeLine::HangUp(uint32_t afterMs) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    hangup_pending = true;
    hangup_due = TickMs() + afterMs;
    ReleaseDueLocked();
  }
  arrived.notify_all();
}

void FakeLine::ReleaseDueLocked() {
  const uint32_t now = TickMs();
  while (!pending.empty() && static_cast<int32_t>(now - pending.front().due) >= 0) {
    const std::string& bytes = pending.front().bytes;
    if (!bytes.empty()) pending_events |= 0x1;
    if (bytes.find('\n') != std::string::npos) pending_events |= 0x2;
    rx += bytes;
    pending.pop_front();
  }
  if (hangup_pending && static_cast<int32_t>(now - hangup_due) >= 0) {
    hangup_pending = false;
    broken = true;
  }
}

void FakeLine::InjectEvents(uint32_t events) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    pending_events |= events;
  }
  arrived.notify_all();
}

uint32_t FakeLine::Queued() {
  std::lock_guard<std::mutex> lock(mutex);
  ReleaseDueLocked();
  return static_cast<uint32_t>(rx.size());
}

namespace {

class FakeCommDevice final : public CommDevice {
 public:
  explicit FakeCommDevice(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {}
  ~FakeCommDevice() override { line_->closes++; }

  bool GetState(Dcb& dcb) override {
    Note("GetState");
    if (line_->fail_get_state) return false;
    dcb = line_->state;
    return true;
  }
  bool SetState(const Dcb& dcb) override {
    Note("SetState");
    line_->states_set.push_back(dcb);
    if (line_->fail_set_state) return false;
    line_->state = dcb;
    return true;
  }
  bool SetupQueues(uint32_t in, uint32_t out) override {
    Note("SetupQueues");
    line_->queue_setups.emplace_back(in, out);
    return !line_->fail_setup;
  }
  bool Purge(uint32_t actions) override {
    Note("Purge");
    line_->purges.push_back(actions);
    if (actions & (kPurgeRxAbort | kPurgeRxClear)) {
      std::lock_guard<std::mutex> lock(line_->mutex);
      line_->rx.clear();
    }
    return true;
  }
  bool GetTimeouts(CommTimeouts& t) override {
    Note("GetTimeouts");
    if (line_->fail_get_timeouts) return false;
    t = line_->timeouts;
    return true;
  }
  bool SetTimeouts(const CommTimeouts& t) override {
    Note("SetTimeouts");
    line_->timeouts_set.push_back(t);
    if (line_->fail_set_timeouts) return false;
    line_->timeouts = t;
    return true;
  }
  bool GetQueueSizes(CommQueueSizes& sizes) override {
    if (line_->fail_get_sizes) return false;
    sizes = line_->sizes;
    return true;
  }
  bool ClearErrors(CommQueueCounts& counts) override {
    if (line_->fail_clear_errors) return false;
    counts.cbInQue = line_->Queued() + line_->phantom_in;
    counts.cbOutQue = line_->out_queue;
    return true;
  }
  bool Write(const uint8_t* data, uint32_t count, uint32_t& written) override {
    line_->write_sizes.push_back(count);
    written = 0;
    if (line_->fail_write) return false;
    written = std::min(count, line_->max_write);
    line_->written.append(reinterpret_cast<const char*>(data), written);
    return true;
  }
  bool Read(uint8_t* data, uint32_t count, uint32_t& read) override {
    line_->read_sizes.push_back(count);
    read = 0;
    if (line_->fail_read) return false;
    std::lock_guard<std::mutex> lock(line_->mutex);
    line_->ReleaseDueLocked();
    if (line_->broken && line_->rx.empty()) return false;
    read = static_cast<uint32_t>(std::min<size_t>(count, line_->rx.size()));
    std::copy_n(line_->rx.begin(), read, data);
    line_->rx.erase(0, read);
    return true;
  }
  LineWait WaitReadable(uint32_t timeoutMs) override {
    std::unique_lock<std::mutex> lock(line_->mutex);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      line_->ReleaseDueLocked();
      if (!line_->rx.empty()) return LineWait::kReady;
      if (line_->broken) return LineWait::kBroken;
      auto wake = until;
      if (!line_->pending.empty()) {
        const auto due = static_cast<int32_t>(line_->pending.front().due - TickMs());
        wake = std::min(
            wake, std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(due, 0)));
      }
      if (line_->hangup_pending) {
        const auto due = static_cast<int32_t>(line_->hangup_due - TickMs());
        wake = std::min(
            wake, std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(due, 0)));
      }
      if (line_->arrived.wait_until(lock, wake) == std::cv_status::timeout &&
          std::chrono::steady_clock::now() >= until) {
        line_->ReleaseDueLocked();
        return line_->rx.empty() ? LineWait::kTimedOut : LineWait::kReady;
      }
    }
  }
  LineWait WaitWritable(uint32_t timeoutMs) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
    return LineWait::kTimedOut;
  }
  bool SetEventMask(uint32_t mask) override {
    {
      std::lock_guard<std::mutex> lock(line_->mutex);
      line_->event_mask = mask;
    }
    line_->arrived.notify_all();
    return true;
  }
  bool WaitEvent(uint32_t& events) override {
    std::unique_lock<std::mutex> lock(line_->mutex);
    for (;;) {
      line_->ReleaseDueLocked();
      if (cancelled_ || line_->event_mask == 0 || line_->broken) return false;
      events = line_->pending_events & line_->event_mask;
      line_->pending_events = 0;
      if (events != 0) return true;
      if (line_->pending.empty()) {
        line_->arrived.wait(lock);
      } else {
        const auto due = static_cast<int32_t>(line_->pending.front().due - TickMs());
        line_->arrived.wait_for(lock, std::chrono::milliseconds(std::max(due, 1)));
      }
    }
  }
  void CancelEventWait() override {
    {
      std::lock_guard<std::mutex> lock(line_->mutex);
      cancelled_ = true;
      line_->cancels++;
    }
    line_->arrived.notify_all();
  }
  SystemError LastError() const override { return line_->error; }

 private:
  void Note(const char* call) { line_->calls.emplace_back(call); }
  std::shared_ptr<FakeLine> line_;
  bool cancelled_ = false;  // guarded by the line's mutex
};

}  // namespace

std::unique_ptr<CommDevice> MakeFakeDevice(std::shared_ptr<FakeLine> line) {
  line->opens++;
  return std::make_unique<FakeCommDevice>(std::move(line));
}

TCustomComm::DeviceFactory FakeFactory(std::shared_ptr<FakeLine> line) {
  return [line](const std::string& name) -> std::unique_ptr<CommDevice> {
    line->opened_name = name;
    if (line->open_fails) return nullptr;
    return MakeFakeDevice(line);
  };
}
