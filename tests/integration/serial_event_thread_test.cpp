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
#include "serial_contract/event_line.h"

namespace {

// The contract tests' fixture, under a name of its own.
struct EventLinePty : EventLine {};

TEST_F(EventLinePty, EachWordGivesOneDataCallWithTheQueueCount) {
  comm->OpenDevice();
  line.Send(*comm, "abc");
  ASSERT_TRUE(ServeUntil([&] { return DataCalls() >= 1; }));
  ServeFor(100);
  ASSERT_EQ(data.size(), 1u);
  EXPECT_EQ(data[0], 3u) << "the receive queue count at that moment";
  EXPECT_EQ(data_threads[0], std::this_thread::get_id());
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], TDeviceEvents{deChar});

  line.Send(*comm, "\n");  // the event character
  ASSERT_TRUE(ServeUntil([&] { return DataCalls() >= 2; }));
  ServeFor(100);
  EXPECT_EQ(data.size(), 2u) << "one call per word, deChar and deFlag together";
  EXPECT_EQ(data[1], 4u) << "unread bytes of the earlier word still count";
  EXPECT_TRUE(events.back().Contains(deFlag));
  comm->CloseDevice();
}

TEST_F(EventLinePty, MonitorEventsFiltersOnlyTheCommEventHandler) {
  comm->SetMonitorEvents({});
  comm->OpenDevice();
  line.Send(*comm, "abc");
  ASSERT_TRUE(ServeUntil([&] { return DataCalls() >= 1; }));
  comm->SendString("+T01\r");
  ServeFor(100);
  EXPECT_TRUE(events.empty());

  comm->SetMonitorEvents({deChar, deFlag, deOutEmpty});
  comm->SendString("+T01\r");
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], TDeviceEvents{deOutEmpty}) << "deOutEmpty comes from SendData only";
  line.Send(*comm, "z");
  ASSERT_TRUE(ServeUntil([&] { return DataCalls() >= 2; }));
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
