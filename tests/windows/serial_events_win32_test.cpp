// The serial component's event thread over the Win32 backend (overlapped
// WaitCommEvent with a stop event), on the echo port: which handler runs, on
// which thread, and that closing never hangs.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "serial/serial_comm.h"
#include "win_test_support.h"

namespace {

struct EchoEvents : ::testing::Test {
  std::unique_ptr<TSerialComm> comm = std::make_unique<TSerialComm>();
  std::mutex mutex;
  std::vector<uint32_t> data;                 // OnData counts
  std::vector<std::thread::id> data_threads;  // where OnData ran
  std::vector<TDeviceEvents> events;          // OnCommEvent words

  void SetUp() override {
    comm->SetDeviceName(EchoPort());
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
  void TearDown() override {
    if (comm && comm->Opened()) comm->CloseDevice();
  }

  void Open() {
    try {
      comm->OpenDevice();
    } catch (const EDeviceError& e) {
      FAIL() << e.what() << ": nothing answers on " << EchoPort();
    }
  }
  size_t DataCalls() {
    std::lock_guard<std::mutex> lock(mutex);
    return data.size();
  }
  // What the far end sends back arrives as received bytes. The handlers of
  // the write itself are quiet meanwhile.
  void Receive(const std::string& text) {
    comm->HoldEvents(true);
    ASSERT_TRUE(comm->SendString(text));
    comm->HoldEvents(false);
  }
  // Takes the received bytes, so that the line is quiet again.
  void Drain() {
    char buffer[256];
    while (comm->ReadData(buffer, sizeof buffer, 50) > 0) {
    }
  }
};

TEST_F(EchoEvents, ReceivedBytesReachTheDataHandlerOnTheWindowThread) {
  Open();
  Receive("abc");
  ASSERT_TRUE(ServeUntil([&] { return DataCalls() >= 1; })) << "no line event arrived";
  ServeFor(300);
  std::lock_guard<std::mutex> lock(mutex);
  if (!RunningUnderWine()) {
    // Windows reports received bytes once: at most one word per byte here.
    // Wine reports deChar at every wait while unread bytes are queued.
    EXPECT_LE(data.size(), 3u);
  }
  EXPECT_GE(data[0], 1u);
  EXPECT_LE(data[0], 3u) << "the receive queue count at that moment";
  EXPECT_EQ(data_threads[0], std::this_thread::get_id());
  ASSERT_FALSE(events.empty());
  EXPECT_TRUE(events[0].Contains(deChar));
  EXPECT_FALSE(events[0].Contains(deOutEmpty)) << "deOutEmpty comes from SendData only";
}

TEST_F(EchoEvents, WithoutSynchronizeTheEventThreadDispatchesItself) {
  comm->SetSynchronize(false);
  Open();
  Receive("x");
  const uint64_t start = SystemMs();
  while (DataCalls() == 0 && SystemMs() - start < 3000) Sleep(5);
  comm->CloseDevice();
  ASSERT_GE(data.size(), 1u);
  EXPECT_NE(data_threads[0], std::this_thread::get_id());
}

TEST_F(EchoEvents, AWordDispatchedWhileHeldReachesNoHandler) {
  Open();
  comm->HoldEvents(true);
  ASSERT_TRUE(comm->SendString("abc"));
  // The thread's words for these bytes are served while the hold is up,
  // also one it may have taken just before the bytes were read.
  ServeFor(300);
  Drain();
  ServeFor(200);
  comm->HoldEvents(false);
  ServeFor(200);
  EXPECT_EQ(DataCalls(), 0u);
  EXPECT_TRUE(events.empty());
}

TEST_F(EchoEvents, EachOpenRunsExactlyOneEventThread) {
  const ThreadWatch threads;
  for (int round = 0; round < 3; ++round) {
    Open();
    EXPECT_EQ(threads.StartedEventually(1), 1);
    comm->CloseDevice();
    EXPECT_EQ(threads.Started(), 0);
  }
}

TEST_F(EchoEvents, CloseWhileADeliveryWaitsCompletesAndDeliversIt) {
  Open();
  Receive("abc");
  Sleep(300);  // the thread now waits for this thread to serve its word
  const uint64_t start = SystemMs();
  comm->CloseDevice();
  EXPECT_LT(SystemMs() - start, 2000u);
  EXPECT_GE(data.size(), 1u) << "the pending word is dispatched during the close";
}

TEST_F(EchoEvents, CloseWhileTheThreadWaitsForTheLineEndsTheWait) {
  const ThreadWatch threads;
  Open();
  Sleep(100);
  ASSERT_EQ(threads.StartedEventually(1), 1) << "the thread waits inside WaitCommEvent";
  const uint64_t start = SystemMs();
  comm->CloseDevice();
  EXPECT_LT(SystemMs() - start, 2000u);
  EXPECT_EQ(threads.Started(), 0);
  Open();  // and the port is free again at once
}

TEST_F(EchoEvents, DestroyingAnOpenComponentCallsNoHandler) {
  const ThreadWatch threads;
  Open();
  Receive("abc");
  Sleep(300);
  comm.reset();
  EXPECT_EQ(data.size(), 0u);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(threads.Started(), 0);
}

TEST_F(EchoEvents, AHandlerThatRaisesEndsTheThreadSilently) {
  const ThreadWatch threads;
  comm->OnData = [this](TCustomComm&, uint32_t n) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      data.push_back(n);
    }
    throw std::runtime_error("handler failed");
  };
  Open();
  Receive("a");
  ASSERT_TRUE(ServeUntil([&] { return DataCalls() >= 1; }));
  ASSERT_TRUE(ServeUntil([&] { return threads.Started() == 0; }));
  Drain();
  Receive("b");
  ServeFor(200);
  EXPECT_EQ(DataCalls(), 1u) << "no more words until the port is reopened";
  EXPECT_TRUE(comm->Opened());
  comm->CloseDevice();
  Open();
  Receive("c");
  EXPECT_TRUE(ServeUntil([&] { return DataCalls() >= 2; }));
  comm->OnData = nullptr;
}

}  // namespace
