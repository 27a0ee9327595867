#include <dirent.h>

#include <cstdlib>
#include <set>
#include <thread>

#include "fakes/pty_pair.h"
#include "far_end.h"
#include "serial/serial_comm.h"

namespace {

// The ids of the process's threads now. Threads are told apart by id, not
// counted: a thread that has been joined can stay listed for a moment, and
// one listed when the far end was made may leave at any time after.
std::set<long> ThreadIds() {
  std::set<long> ids;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') ids.insert(std::strtol(entry->d_name, nullptr, 10));
    closedir(dir);
  }
  return ids;
}

}  // namespace

struct FarEnd::Impl {
  PtyPair pty;
  std::set<long> threads_before;
};

FarEnd::FarEnd() : impl_(std::make_unique<Impl>()) {
  // Sanitizers start a helper thread of their own with the first thread of
  // the process; let that happen before any thread is counted.
  std::thread([] {}).join();
  impl_->threads_before = ThreadIds();
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
  int started = 0;
  for (long id : ThreadIds()) started += impl_->threads_before.count(id) == 0 ? 1 : 0;
  return started;
}

int FarEnd::ThreadsStartedEventually(int count, int timeoutMs) const {
  int started = -1;
  ServeUntil([&] { return (started = ThreadsStarted()) == count; }, timeoutMs);
  return started;
}

FarEnd::KnownDifferences FarEnd::Differences() {
  return {};
}
