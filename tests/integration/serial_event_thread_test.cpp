// The serial component's event thread on a real pseudo-terminal, where a
// pseudo-terminal shows more than every backend promises: exactly one word per
// arrival, the event character's word, the monitor mask, the far end hanging
// up. What every backend promises is in serial_contract/.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "serial/serial_comm.h"
#include "serial/sync_queue.h"
#include "serial_contract/far_end.h"

namespace {

struct EventLinePty : ::testing::Test {
  FarEnd line;
  std::unique_ptr<TSerialComm> comm = std::make_unique<TSerialComm>();
  std::mutex mutex;
  std::vector<uint32_t> data;                 // OnData counts
  std::vector<std::thread::id> data_threads;  // where OnData ran
  std::vector<TDeviceEvents> events;          // OnCommEvent words

  void SetUp() override {
    comm->SetDeviceName(line.DeviceName());
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

TEST_F(EventLinePty, EachWordGivesOneDataCallWithTheQueueCount) {
  comm->OpenDevice();
  line.Send(*comm, "abc");
  ASSERT_TRUE(FarEnd::ServeUntil([&] { return DataCalls() >= 1; }));
  FarEnd::ServeFor(100);
  ASSERT_EQ(data.size(), 1u);
  EXPECT_EQ(data[0], 3u) << "the receive queue count at that moment";
  EXPECT_EQ(data_threads[0], std::this_thread::get_id());
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], TDeviceEvents{deChar});

  line.Send(*comm, "\n");  // the event character
  ASSERT_TRUE(FarEnd::ServeUntil([&] { return DataCalls() >= 2; }));
  FarEnd::ServeFor(100);
  EXPECT_EQ(data.size(), 2u) << "one call per word, deChar and deFlag together";
  EXPECT_EQ(data[1], 4u) << "unread bytes of the earlier word still count";
  EXPECT_TRUE(events.back().Contains(deFlag));
  comm->CloseDevice();
}

TEST_F(EventLinePty, MonitorEventsFiltersOnlyTheCommEventHandler) {
  comm->SetMonitorEvents({});
  comm->OpenDevice();
  line.Send(*comm, "abc");
  ASSERT_TRUE(FarEnd::ServeUntil([&] { return DataCalls() >= 1; }));
  comm->SendString("+T01\r");
  FarEnd::ServeFor(100);
  EXPECT_TRUE(events.empty());

  comm->SetMonitorEvents({deChar, deFlag, deOutEmpty});
  comm->SendString("+T01\r");
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], TDeviceEvents{deOutEmpty}) << "deOutEmpty comes from SendData only";
  line.Send(*comm, "z");
  ASSERT_TRUE(FarEnd::ServeUntil([&] { return DataCalls() >= 2; }));
  for (TDeviceEvents e : std::vector<TDeviceEvents>(events.begin() + 1, events.end()))
    EXPECT_FALSE(e.Contains(deOutEmpty));
  comm->CloseDevice();
}

TEST_F(EventLinePty, FarEndHangingUpEndsTheThreadButNotThePort) {
  comm->OpenDevice();
  line.HangUp();
  EXPECT_EQ(line.ThreadsStartedEventually(0), 0);
  EXPECT_TRUE(comm->Opened());
  comm->CloseDevice();
}

}  // namespace
