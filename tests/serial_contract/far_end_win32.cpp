#include <gtest/gtest.h>

#include "far_end.h"
#include "serial/serial_comm.h"
#include "win_test_support.h"

struct FarEnd::Impl {
  ThreadWatch threads;
};

FarEnd::FarEnd() : impl_(std::make_unique<Impl>()) {}

FarEnd::~FarEnd() = default;

std::string FarEnd::DeviceName() const {
  return EchoPort();
}

// The handlers of the write itself stay quiet: its events are held.
void FarEnd::Send(TCustomComm& comm, const std::string& bytes) {
  comm.HoldEvents(true);
  EXPECT_TRUE(comm.SendString(bytes)) << "nothing answers on " << EchoPort();
  comm.HoldEvents(false);
}

void FarEnd::Drain(TCustomComm& comm) {
  char buffer[256];
  while (comm.ReadData(buffer, sizeof buffer, 50) > 0) {
  }
}

int FarEnd::ThreadsStarted() const {
  return impl_->threads.Started();
}

int FarEnd::ThreadsStartedEventually(int count, int timeoutMs) const {
  return impl_->threads.StartedEventually(count, timeoutMs);
}

FarEnd::KnownDifferences FarEnd::Differences() {
  KnownDifferences differences;
  differences.keepsNulBytes = differences.opensTwice = RunningUnderWine();
  return differences;
}
