// The serial component's event thread as every backend must run it, on a line
// with a far end (far_end.h: a pseudo-terminal on POSIX, the echo COM port on
// Windows): which handler runs, on which thread, and that closing never hangs.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "event_line.h"
#include "serial/serial_comm.h"

namespace {

using Clock = std::chrono::steady_clock;

// A joined thread can stay in the process's thread list for a moment while
// the kernel finishes its exit (seen under TSan on a loaded machine).
constexpr int kThreadLeavesMs = 250;

void Pause(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

TEST_F(EventLine, ReceivedBytesReachTheDataHandlerOnTheWindowThread) {
  Open();
  line.Send(*comm, "abc");
  ASSERT_TRUE(ServeUntil([&] { return DataCalls() >= 1; })) << "no line event arrived";
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_GE(data[0], 1u);
  EXPECT_LE(data[0], 3u) << "the receive queue count at that moment";
  EXPECT_EQ(data_threads[0], std::this_thread::get_id());
  ASSERT_FALSE(events.empty());
  EXPECT_TRUE(events[0].Contains(deChar));
  EXPECT_FALSE(events[0].Contains(deOutEmpty)) << "deOutEmpty comes from SendData only";
}

TEST_F(EventLine, WithoutSynchronizeTheEventThreadDispatchesItself) {
  comm->SetSynchronize(false);
  Open();
  line.Send(*comm, "x");
  const auto until = Clock::now() + std::chrono::seconds(3);
  while (DataCalls() == 0 && Clock::now() < until) Pause(5);
  comm->CloseDevice();
  ASSERT_GE(data.size(), 1u);
  EXPECT_NE(data_threads[0], std::this_thread::get_id());
}

TEST_F(EventLine, WordsDispatchedWhileHeldReachNoHandler) {
  Open();
  comm->HoldEvents(true);
  line.Send(*comm, "abc");
  // The thread's words for these bytes are served while the hold is up, also
  // one it may have taken just before the bytes were read.
  ServeFor(300);
  line.Drain(*comm);
  ServeFor(200);
  comm->HoldEvents(false);
  ServeFor(200);
  EXPECT_EQ(DataCalls(), 0u);
  EXPECT_TRUE(events.empty());
}

TEST_F(EventLine, EachOpenRunsExactlyOneEventThread) {
  for (int round = 0; round < 3; ++round) {
    Open();
    EXPECT_EQ(line.ThreadsStartedEventually(1), 1);
    comm->CloseDevice();
    EXPECT_EQ(line.ThreadsStartedEventually(0, kThreadLeavesMs), 0);
  }
}

TEST_F(EventLine, CloseWhileADeliveryWaitsCompletesAndDeliversIt) {
  Open();
  line.Send(*comm, "abc");
  Pause(300);  // the thread now waits for this thread to serve its word
  const auto start = Clock::now();
  comm->CloseDevice();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
  EXPECT_GE(data.size(), 1u) << "the pending word is dispatched during the close";
}

TEST_F(EventLine, CloseWhileTheThreadWaitsForTheLineEndsTheWait) {
  Open();
  ASSERT_EQ(line.ThreadsStartedEventually(1), 1);
  Pause(100);  // the thread waits for a line event now
  const auto start = Clock::now();
  comm->CloseDevice();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(line.ThreadsStartedEventually(0, kThreadLeavesMs), 0);
  Open();  // and the port is free again at once
}

TEST_F(EventLine, DestroyingAnOpenComponentCallsNoHandler) {
  Open();
  line.Send(*comm, "abc");
  Pause(300);
  comm.reset();
  EXPECT_EQ(data.size(), 0u);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(line.ThreadsStartedEventually(0, kThreadLeavesMs), 0);
}

TEST_F(EventLine, AHandlerThatRaisesEndsTheThreadSilently) {
  comm->OnData = [this](TCustomComm&, uint32_t n) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      data.push_back(n);
    }
    throw std::runtime_error("handler failed");
  };
  Open();
  line.Send(*comm, "a");
  ASSERT_TRUE(ServeUntil([&] { return DataCalls() >= 1; }));
  ASSERT_TRUE(ServeUntil([&] { return line.ThreadsStarted() == 0; }));
  line.Drain(*comm);
  line.Send(*comm, "b");
  ServeFor(200);
  EXPECT_EQ(DataCalls(), 1u) << "no more words until the port is reopened";
  EXPECT_TRUE(comm->Opened());
  comm->CloseDevice();
  Open();
  line.Send(*comm, "c");
  EXPECT_TRUE(ServeUntil([&] { return DataCalls() >= 2; }));
  comm->OnData = nullptr;
}

}  // namespace
