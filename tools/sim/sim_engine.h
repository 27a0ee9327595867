#pragma once
// The simulated panel without its terminal: takes the received bytes and the
// control lines with the time they arrived, and hands out the answer bytes
// when they are due. Time is a millisecond count of a steady clock.

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command_log.h"
#include "panel_protocol.h"
#include "panel_state.h"
#include "sim_options.h"

// Applies the misbehaviour to an answer and cuts it into the parts that are
// sent one after another.
std::vector<std::string> ShapeAnswer(PanelAnswer answer, const Misbehaviour& misbehaviour);

class SimEngine {
 public:
  using SaveFn = std::function<void(const PanelState&)>;

  SimEngine(const SimOptions& options, const PanelState& state, CommandLog& log, SaveFn save);

  void Receive(std::string_view bytes, int64_t now);
  // A control line from standard input; returns the line to answer it with.
  std::string Control(std::string_view line, int64_t now);

  // The earliest time at which TakeDue has something to do; nullopt: nothing
  // is pending.
  std::optional<int64_t> NextDeadline() const;
  // The answer bytes due by `now`, in order.
  std::string TakeDue(int64_t now);
  // Commands seen so far reached --hangup-after, or --hangup-mid cut an
  // answer, and every answer is out.
  bool HangupDue() const;
  // The line goes down in the middle of an answer: at once, not after a
  // pause for the answer to be read.
  bool HangupMidAnswer() const { return hangup_mid_; }

  const PanelState& state() const { return state_; }

 private:
  struct Part {
    int64_t due;
    std::string bytes;
  };

  void HandleLine(const CommandLine& line, int64_t now);
  // `command` is the received command the answer belongs to.
  void Schedule(const PanelAnswer& answer, bool misbehave, int64_t now, const std::string& command);

  const SimOptions& options_;
  PanelState state_;
  CommandLog& log_;
  SaveFn save_;
  LineAssembler assembler_;
  std::optional<KeyBytes> presented_;
  std::optional<int64_t> key_wait_until_;  // a "+T00" waits for a key
  bool key_wait_misbehaves_ = false;
  std::string key_wait_command_;
  std::deque<Part> pending_;
  size_t pending_bytes_ = 0;
  int64_t last_due_ = 0;
  int64_t commands_ = 0;
  bool hangup_ = false;
  bool hangup_mid_ = false;
};
