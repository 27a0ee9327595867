#pragma once
// A platform for fuzzing the serial component without a line and without
// real time: the clock (TickMs) is a counter that only moves when the
// component waits for the line, and the line is a scripted device whose
// bytes arrive at given virtual times. One exchange that would take seconds
// on a real port then runs in microseconds, and a run is repeatable.

#include <cstdint>
#include <limits>
#include <vector>

#include "serial/comm_device.h"

namespace fuzz {

// The virtual millisecond clock that TickMs() reads.
void SetVirtualClock(uint32_t ms);
uint32_t VirtualClock();

// Bytes that reach the receive queue at a virtual time, or the line breaking
// (the adapter pulled out) at that time.
struct Arrival {
  uint32_t afterMs = 0;  // after the previous arrival (the first: after the line opens)
  std::vector<uint8_t> bytes;
  bool hangUp = false;
};

// How the scripted line and its driver behave.
struct LineScript {
  std::vector<Arrival> arrivals;
  bool keepNulls = false;  // a driver that ignores the request to drop NUL bytes
  // Bytes one write call takes; kStalled: the line takes none (flow stopped).
  uint32_t writeLimit = std::numeric_limits<uint32_t>::max();
  uint32_t outQueueReported = 0;  // the transmit count the driver reports
  uint32_t inQueueExtra = 0;      // added to the receive count while bytes wait
  bool phantomCount = false;      // a receive count of inQueueExtra while none wait
  uint32_t failReadAt = 0;        // the read call (from 1) that fails; 0: none
  uint32_t failWriteAt = 0;       // the write call (from 1) that fails; 0: none
  uint32_t failCountEvery = 0;    // every n-th queue count query fails; 0: none

  static constexpr uint32_t kStalled = 0;
};

// What the line saw of one attempt: from the first transmission of a command
// until the exchange reported the outcome.
struct AttemptRecord {
  uint32_t sendStart = 0;
  uint32_t end = 0;
  bool ended = false;
  std::vector<uint8_t> written;
  std::vector<uint8_t> received;  // bytes the component read, in order
  uint64_t readBefore = 0;        // bytes read away between the previous attempt and this one
};

// Everything the scripted device did, kept by the fuzz target so that it
// outlives the device (the component owns and destroys the device).
struct LineLog {
  std::vector<AttemptRecord> attempts;
  bool inAttempt = false;
  uint64_t readOutside = 0;  // bytes read since the last attempt ended
  uint64_t calls = 0;        // every call of the device
  bool opened = false;

  // The exchange has reported an attempt's outcome: bytes read from now on
  // belong to no attempt until the command is transmitted again.
  void EndAttempt();
};

// The line breaks after this many device calls or this much virtual time, so
// that a caller asking for a budget of weeks still ends (with a read or
// write error, as when an adapter is pulled out).
inline constexpr uint64_t kLineCallLimit = 20000;
inline constexpr uint32_t kLineLifeMs = 600000;
// A component that asks the device this often in a row without waiting and
// without moving a byte would hang the window's thread on a real port.
inline constexpr uint32_t kSpinLimit = 1000;

// The scripted device: bytes arrive as the script says, measured from the
// virtual clock at its creation; writes are taken as the script allows.
std::unique_ptr<CommDevice> MakeScriptedDevice(const LineScript& script, LineLog& log);

}  // namespace fuzz
