#pragma once
// What counts as the panel's answer, for every operation of both programs.
//
// From an operation's first command until its end, every answer that comes
// on the line ("OK", a refusal "ERR...", a data part ">...") belongs to
// exactly one command: the one in whose attempt it came, or, when it came
// after that attempt and before the next command went out, the command before
// it. A command that gets more than one answer fails the operation, and so
// does an answer that follows the last one. An operation ends only once every
// command's budget, counted from its transmission, has run out and the line
// has then been quiet for a slice since the last byte, so that an answer
// still inside its budget is always seen.
//
// What timing cannot tell apart: a panel that answers nothing to a command
// while a copy of an earlier answer comes in its place, and an answer later
// than the end. A second read (read --verify) or a write's read-back catches
// those.

#include <cstdint>
#include <string>

#include "panel/exchange.h"
#include "panel/reply_checks.h"

// Forwards the exchange to the window's or the tool's host and keeps the
// ledger of the operation under way. Begin() before each command.
class AnswerLedger : public ExchangeHost, public LineNotes {
 public:
  explicit AnswerLedger(ExchangeHost& host) : host_(host) {}

  // Forgets the notes of the command sent last.
  void Begin();
  // The operation's end: watches the line until every command's budget has
  // run out and it has been quiet for a slice, and starts a new operation.
  // Returns what came meanwhile: an answer among it followed the last one.
  std::string End();
  // A new operation begins; what the last one owed is forgotten.
  void Restart() { sent_ = false; }
  // Whether any command went out since the operation began.
  bool AnySent() const { return sent_; }

  TCustomComm& Comm1() override { return host_.Comm1(); }
  void SetConnected(bool checked) override { host_.SetConnected(checked); }
  bool EndsAnswersEarly() const override { return host_.EndsAnswersEarly(); }
  void NoteUnaccepted(const std::string& command, const std::string& received) override;
  void NoteReadAway(const std::string& command, const std::string& bytes) override;
  void NoteSent(const std::string& command, int32_t budget) override;
  const std::string& Unaccepted() const override { return unaccepted_; }
  const std::string& ReadAway() const override { return read_away_; }

 private:
  ExchangeHost& host_;
  std::string unaccepted_;
  std::string read_away_;
  bool sent_ = false;
  uint32_t budgets_end_ = 0;  // TickMs reading when the last budget runs out
};

// The answers a reply text holds: "OK" and "ERR" lines, and data parts.
int AnswersIn(const std::string& reply);
