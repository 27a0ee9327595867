#pragma once
// How the page operations reach the panel, and how they tell the user about
// writes that the panel did not confirm.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "panel/exchange.h"

// SendCommand's shape: command, attempts, budget, reply (all as SendCommand).
// The window and the tool send over their own port (PanelSession::Sender);
// tests give a scripted one.
using CommandSender = std::function<void(const std::string& command, int32_t attempts,
                                         int32_t budget, std::string& reply)>;

// Collects the write commands that the panel did not confirm: their reply
// was empty (the port closed included), or was more or other than a write's
// "OK" (another command's answer, a data part, a late answer beside it).
class UnconfirmedWrites {
 public:
  // name: the command without its data ("+T01", "+s", "+H03").
  void Note(const std::string& name, const std::string& reply);
  // A write whose "OK" may not have been its own: an answer followed it
  // (came). Named once.
  void Doubt(const std::string& name, const std::string& came);
  // The panel answered more often than it was asked: no write from first on
  // can be taken as confirmed.
  void DoubtAllFrom(const std::string& first);
  bool Any() const { return !names_.empty(); }
  // Raises EPanelWriteError "Охранная панель не подтвердила команды: " with
  // the names joined by ", " when any write went unconfirmed.
  void RaiseIfAny() const;

 private:
  std::vector<std::string> names_;
  std::vector<std::string> replies_;
  std::string doubt_from_;
};

// "List index out of bounds (%d)".
[[noreturn]] void RaiseListIndexError(int index);
