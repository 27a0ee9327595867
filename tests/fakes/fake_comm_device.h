#pragma once
// A scripted serial line for unit tests: it records what the component hands
// the device, delivers bytes at given times, and fails on demand.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "serial/comm_device.h"
#include "serial/serial_comm.h"

struct FakeLine {
  // --- What the component did (read these after the call under test).
  std::vector<std::string> calls;  // "GetState", "SetState", "Purge", ... in order
  std::vector<Dcb> states_set;
  std::vector<uint32_t> purges;
  std::vector<std::pair<uint32_t, uint32_t>> queue_setups;
  std::vector<CommTimeouts> timeouts_set;
  std::string written;                // every byte written, in order
  std::vector<uint32_t> write_sizes;  // the count of every write call
  std::vector<uint32_t> read_sizes;   // the count of every read call
  int opens = 0;
  int closes = 0;
  std::string opened_name;

  // --- What the device reports.
  Dcb state;                        // GetState gives this; SetState stores into it
  CommTimeouts timeouts;            // GetTimeouts / SetTimeouts
  CommQueueSizes sizes;             // GetQueueSizes
  uint32_t out_queue = 0;           // cbOutQue
  uint32_t phantom_in = 0;          // counted in cbInQue, never delivered by a read
  uint32_t max_write = UINT32_MAX;  // a write moves at most this many bytes
  bool open_fails = false;
  bool fail_get_state = false;
  bool fail_set_state = false;
  bool fail_setup = false;
  bool fail_get_timeouts = false;
  bool fail_set_timeouts = false;
  bool fail_get_sizes = false;
  bool fail_clear_errors = false;
  bool fail_read = false;
  bool fail_write = false;
  bool broken = false;  // the far end has gone: waits report kBroken
  SystemError error{5, "Access is denied.  "};

  // --- Line events. Queued bytes raise EV_RXCHAR (and EV_RXFLAG with a line
  // feed); InjectEvents adds any other bits.
  uint32_t event_mask = 0;
  uint32_t pending_events = 0;
  int cancels = 0;
  void InjectEvents(uint32_t events);

  // --- The incoming line. Bytes become queued at their arrival time.
  void Arrive(const std::string& bytes, uint32_t afterMs = 0);
  // The far end goes away afterMs from now: from then on `broken` is set.
  void HangUp(uint32_t afterMs);
  // Bytes queued now (arrivals that are due), without waiting.
  uint32_t Queued();

  std::mutex mutex;
  std::condition_variable arrived;
  std::string rx;  // queued bytes
  struct Pending {
    uint32_t due;
    std::string bytes;
  };
  std::deque<Pending> pending;
  bool hangup_pending = false;
  uint32_t hangup_due = 0;
  void ReleaseDueLocked();
};

std::unique_ptr<CommDevice> MakeFakeDevice(std::shared_ptr<FakeLine> line);
// A factory for TCustomComm::SetDeviceFactory that opens the fake line under
// any name (unless open_fails is set).
TCustomComm::DeviceFactory FakeFactory(std::shared_ptr<FakeLine> line);
