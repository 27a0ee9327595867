// The serial component's event thread on a real pseudo-terminal: which
// handler runs, how often, on which thread, and that closing never hangs.

#include <dirent.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "fakes/pty_pair.h"
#include "serial/serial_comm.h"
#include "serial/sync_queue.h"

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

// Serves deliveries on this (the user-interface) thread until done() holds or
// the time is up.
bool ServeUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < until) {
    SynchronizeQueue::Instance().Serve();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return done();
}

void ServeFor(int ms) {
  ServeUntil([] { return false; }, ms);
}

struct EventLine : ::testing::Test {
  PtyPair pty;
  std::unique_ptr<TSerialComm> comm = std::make_unique<TSerialComm>();
  std::mutex mutex;
  std::vector<uint32_t> data;                 // OnData counts
  std::vector<std::thread::id> data_threads;  // where OnData ran
  std::vector<TDeviceEvents> events;          // OnCommEvent words

  void SetUp() override {
    // Sanitizers start a helper thread of their own with the first thread of
    // the process; let that happen before any thread is counted.
    std::thread([] {}).join();
    comm->SetDeviceName(pty.SlavePath());
    comm->SetBaudRate(br19200);
    comm->OnData = [this](TCustomComm&, uint32_t n) {
      std::lock_guard<std::mutex> lock(mutex);
      data.push_back(n);
      data_threads.push_back(std::this_thread::get_id());
    };
    comm->OnCommEvent = [this](TCustomComm&, TDeviceEvents e) {
      std::lock_guard<std::mutex> lock(mutex);
      events.push_back(e);
    };
  }
  size_t DataCalls() {
    std::lock_guard<std::mutex> lock(mutex);
    return data.size();
  }
};

TEST_F(EventLine, ReceivedBytesGiveOneDataCallOnTheWindowThread) {
  comm->OpenDevice();
  pty.Send("abc");
  ASSERT_TRUE(ServeUntil([&] { return DataCalls() >= 1; }));
  ServeFor(100);
  ASSERT_EQ(data.size(), 1u);
  EXPECT_EQ(data[0], 3u) << "the receive queue count at that moment";
  EXPECT_EQ(data_threads[0], std::this_thread::get_id());
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], TDeviceEvents{deChar});

  pty.Send("\n");  // the event character
  ASSERT_TRUE(ServeUntil([&] { return DataCalls() >= 2; }));
  ServeFor(100);
  EXPECT_EQ(data.size(), 2u) << "one call per word, deChar and deFlag together";
  EXPECT_EQ(data[1], 4u) << "unread bytes of the earlier word still count";
  EXPECT_TRUE(events.back().Contains(deFlag));
  comm->CloseDevice();
}

TEST_F(EventLine, WithoutSynchronizeTheEventThreadDispatchesItself) {
  comm->SetSynchronize(false);
  comm->OpenDevice();
  pty.Send("x");
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (DataCalls() == 0 && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  comm->CloseDevice();
  ASSERT_GE(data.size(), 1u);
  EXPECT_NE(data_threads[0], std::this_thread::get_id());
}

TEST_F(EventLine, MonitorEventsFiltersOnlyTheCommEventHandler) {
  comm->SetMonitorEvents({});
  comm->OpenDevice();
  pty.Send("abc");
  ASSERT_TRUE(ServeUntil([&] { return DataCalls() >= 1; }));
  comm->SendString("+T01\r");
  ServeFor(100);
  EXPECT_TRUE(events.empty());

  comm->SetMonitorEvents({deChar, deFlag, deOutEmpty});
  comm->SendString("+T01\r");
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], TDeviceEvents{deOutEmpty}) << "deOutEmpty comes from SendData only";
  pty.Send("z");
  ASSERT_TRUE(ServeUntil([&] { return DataCalls() >= 2; }));
  for (TDeviceEvents e : std::vector<TDeviceEvents>(events.begin() + 1, events.end()))
    EXPECT_FALSE(e.Contains(deOutEmpty));
  comm->CloseDevice();
}

TEST_F(EventLine, HeldEventsAreDroppedNotReplayed) {
  comm->OpenDevice();
  comm->HoldEvents(true);
  pty.Send("abc");
  ServeFor(300);
  comm->HoldEvents(false);
  ServeFor(200);
  EXPECT_EQ(DataCalls(), 0u);
  EXPECT_TRUE(events.empty());
  comm->CloseDevice();
}

TEST_F(EventLine, EachOpenRunsExactlyOneEventThread) {
  const int before = ThreadCount();
  for (int round = 0; round < 3; ++round) {
    comm->OpenDevice();
    EXPECT_EQ(ThreadCount(), before + 1);
    comm->CloseDevice();
    EXPECT_EQ(ThreadCount(), before);
  }
}

TEST_F(EventLine, CloseWhileADeliveryWaitsCompletesAndDeliversIt) {
  comm->OpenDevice();
  pty.Send("abc");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the thread now waits for us
  const auto start = std::chrono::steady_clock::now();
  comm->CloseDevice();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(data.size(), 1u) << "the pending word is dispatched during the close";
}

TEST_F(EventLine, DestroyingAnOpenComponentCallsNoHandler) {
  const int before = ThreadCount();
  comm->OpenDevice();
  pty.Send("abc");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  comm.reset();
  EXPECT_EQ(data.size(), 0u);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(ThreadCount(), before);
}

TEST_F(EventLine, HandlerThatRaisesEndsTheThreadSilently) {
  const int before = ThreadCount();
  comm->OnData = [this](TCustomComm&, uint32_t n) {
    data.push_back(n);
    throw std::runtime_error("handler failed");
  };
  comm->OpenDevice();
  pty.Send("a");
  ASSERT_TRUE(ServeUntil([&] { return data.size() >= 1; }));
  ASSERT_TRUE(ServeUntil([&] { return ThreadCount() == before; }));
  pty.Send("b");
  ServeFor(200);
  EXPECT_EQ(data.size(), 1u) << "no more words until the port is reopened";
  EXPECT_TRUE(comm->Opened());
  comm->CloseDevice();
  comm->OpenDevice();
  pty.Send("c");
  EXPECT_TRUE(ServeUntil([&] { return data.size() >= 2; }));
  comm->OnData = nullptr;
  comm->CloseDevice();
}

TEST_F(EventLine, FarEndHangingUpEndsTheThreadButNotThePort) {
  const int before = ThreadCount();
  comm->OpenDevice();
  pty.HangUp();
  EXPECT_TRUE(ServeUntil([&] { return ThreadCount() == before; }));
  EXPECT_TRUE(comm->Opened());
  comm->CloseDevice();
}

}  // namespace
