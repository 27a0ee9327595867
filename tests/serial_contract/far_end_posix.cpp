#include <dirent.h>

#include <thread>

#include "fakes/pty_pair.h"
#include "far_end.h"
#include "serial/serial_comm.h"

namespace {

int ThreadCount() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') ++count;
    closedir(dir);
  }
  return count;
}

}  // namespace

struct FarEnd::Impl {
  PtyPair pty;
  int threads_before = 0;
};

FarEnd::FarEnd() : impl_(std::make_unique<Impl>()) {
  // Sanitizers start a helper thread of their own with the first thread of
  // the process; let that happen before any thread is counted.
  std::thread([] {}).join();
  impl_->threads_before = ThreadCount();
}

FarEnd::~FarEnd() = default;

std::string FarEnd::DeviceName() const {
  return impl_->pty.SlavePath();
}

void FarEnd::Send(TCustomComm&, const std::string& bytes) {
  impl_->pty.Send(bytes);
}

void FarEnd::Drain(TCustomComm& comm) {
  uint8_t buffer[256];
  while (comm.ReadData(buffer, sizeof buffer, 50) > 0) {
  }
}

void FarEnd::HangUp() {
  impl_->pty.HangUp();
}

int FarEnd::ThreadsStarted() const {
  return ThreadCount() - impl_->threads_before;
}

int FarEnd::ThreadsStartedEventually(int count, int timeoutMs) const {
  // Fewer threads than when the far end was made: one of the test
  // program's own (not the component's) has since ended, so none of the
  // component's can still run.
  const auto seen = [count](int started) {
    return started == count || (count == 0 && started < 0);
  };
  int started = -1;
  ServeUntil([&] { return seen(started = ThreadsStarted()); }, timeoutMs);
  return seen(started) ? count : started;
}

FarEnd::KnownDifferences FarEnd::Differences() {
  return {};
}
