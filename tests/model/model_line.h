#pragma once
// A panel that misbehaves by a seeded draw, on a line with a virtual clock.
//
// The clock (TickMs) moves only while the serial component waits for the
// line, so an operation that would take seconds on a real port runs in
// microseconds and every run of a seed is the same. The panel's memory and
// its answers are the simulator's own (tools/sim), written apart from panel/.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "serial/comm_device.h"

namespace model {

// The virtual millisecond clock that TickMs() reads.
void SetClock(uint32_t ms);
uint32_t Clock();

// What the panel does with one command.
enum class Fault {
  kInTime,        // answered within the first slice
  kLateInBudget,  // answered later, still inside the command's budget
  kLateBeyond,    // answered after the budget has run out
  kTwice,         // answered in time, and a copy of the answer at any delay
  kRefused,       // "ERROR" at any time inside the budget, memory unchanged
  kOtherReply,    // the reply of a command of another kind, memory unchanged
  kGarbled,       // one byte of the answer turned into one no answer holds
  kCut,           // only the first part of the answer
  kSilent,        // no answer, memory unchanged
  kLineLost,      // the line breaks while the command is under way
};
const char* FaultName(Fault fault);

// One command as the panel met it, and what it did.
struct CommandRecord {
  std::string command;
  uint32_t at = 0;
  Fault fault = Fault::kInTime;
  std::string answer;  // the bytes sent, first copy
  uint32_t delay = 0;
  uint32_t copyDelay = 0;  // after the answer, for kTwice
};

// The draws of one case. The generator leaves out by name what the rule
// declares out of reach: once an earlier answer has been copied, no later
// command goes without an answer of its own (silent, late beyond its budget,
// cut before its first mark, a mark garbled), since a copy arriving in its
// place is the same bytes as its answer.
class FaultDraw {
 public:
  FaultDraw(uint64_t seed, int faultPercent) : random_(seed), fault_percent_(faultPercent) {}
  Fault Next();
  uint32_t Uniform(uint32_t low, uint32_t high);  // inclusive
  bool Copied() const { return copied_; }

 private:
  std::mt19937_64 random_;
  int fault_percent_;
  bool copied_ = false;
};

// The panel at the far end: memory, the key at its reader, and the draws.
struct FaultyPanel {
  explicit FaultyPanel(uint64_t seed, int faultPercent) : draw(seed, faultPercent) {}

  // What the panel holds, in upper-case hexadecimal as it sends it: the keys
  // in panel order, the numbers' 16 character codes.
  struct Memory {
    std::array<std::string, 4> keys;
    uint8_t dial = 0;
    uint8_t day = 0;
    std::array<std::string, 6> numbers;
    bool operator==(const Memory&) const = default;
  };
  Memory memory;
  std::optional<std::string> presented;  // the key at the reader, panel order
  FaultDraw draw;
  std::vector<CommandRecord> records;
  // Draws given by a test instead of the generator, by command name ("+H05"),
  // each used once: the cases a review found, kept as rows.
  struct Forced {
    Fault fault;
    uint32_t delay;
    uint32_t copyDelay = 0;
  };
  std::vector<std::pair<std::string, Forced>> script;

  // Bytes due on the line at a virtual time; the line breaks at breakAt.
  struct Arrival {
    uint32_t at;
    std::string bytes;
  };
  std::vector<Arrival> arrivals;
  std::optional<uint32_t> breakAt;

  // A command line has come in at now.
  void Receive(const std::string& command, uint32_t now);
  std::string Trace() const;
};

// The device the component opens: it carries the panel's arrivals.
std::unique_ptr<CommDevice> MakeModelDevice(std::shared_ptr<FaultyPanel> panel);

}  // namespace model
