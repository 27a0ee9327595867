#pragma once
// One operation on the panel, told whole: the one place that decides what
// counts as the panel's answer, for every operation of both programs.
//
// The rule. From an operation's first command until its end, every answer
// that comes on the line ("OK", a refusal "ERR...", a data part ">...")
// belongs to exactly one command: the one in whose attempt it came, or, when
// it came after that attempt and before the next command went out, the
// command before it. A command with more than one answer fails the
// operation. An operation ends only once every command's budget, counted
// from its transmission, has run out and the line has then been quiet for a
// slice since the last byte, so that an answer still inside its budget is
// always seen; what comes by then belongs to the last command.
//
// When a write phase sees more answers than it sent commands, no "OK" of it
// from its first write on can be taken as confirmation: an answer taken for
// one write's may have been another's.
//
// What timing cannot tell apart: a panel that answers nothing to a command
// while a copy of an earlier answer comes in its place, and an answer later
// than the end. A second read in another order, or a write's read-back,
// catches those.

#include <cstdint>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "panel/exchange.h"
#include "panel/page_link.h"
#include "panel/reply_checks.h"

// What a command does within its operation.
enum class Phase { kProbe, kRead, kWrite, kReadBack };

// What a command is about, so that a program names it without reading its
// text.
enum class Subject { kProbe, kKey, kPresentedKey, kFlags, kNumber };

// One command of an operation.
struct Step {
  std::string command;  // as sent, without its line end
  Phase phase = Phase::kRead;
  Subject subject = Subject::kProbe;
  int index = 0;  // key slot 1..4 or event 1..6; 0 for the others
  int32_t budget = 0;
  ReplyShape shape = ReplyShape::kKey;  // what a read's data must be

  bool IsWrite() const { return phase == Phase::kWrite; }
};

Step ProbeStep();
Step PresentedKeyStep();
Step KeyReadStep(int slot, Phase phase, ReplyShape shape = ReplyShape::kSlotKey);
Step FlagsReadStep(Phase phase);
Step NumberReadStep(int event, Phase phase);
Step KeyWriteStep(int slot, const std::string& panelKey);
Step FlagsWriteStep(const std::string& dialDigits, const std::string& dayDigits);
Step NumberWriteStep(int event, const std::string& digits);

enum class Verdict {
  kTaken,        // its answer came, alone, as it should be
  kRefused,      // what came is not its answer (problem says how)
  kNoAnswer,     // nothing came
  kInDoubt,      // its "OK" may have been another command's
  kExtraAnswer,  // more than one answer belongs to it
};

struct StepOutcome {
  Step step;
  Verdict verdict = Verdict::kNoAnswer;
  // kRefused: kRefused (the panel said "ERR..."), kAnsweredWithout,
  // kWrongShape.
  ReplyProblem problem = ReplyProblem::kNone;
  std::string came;   // the bytes of its attempt, zero bytes left out
  std::string after;  // what came after its attempt, before the next command or the end
  std::string data;   // a read's data (the probe's too), when its answer was taken
  // kExtraAnswer: the step whose answer came again (its data is the same),
  // or -1 when the extra answer cannot be placed; then it, and kInDoubt,
  // may belong to any step from span_from to this one.
  int repeats = -1;
  int span_from = -1;
  // kExtraAnswer that cannot be placed: the latest earlier read whose shape
  // its data has (the likeliest owner); answered twice with data an earlier
  // read also took: that read, whose answer it may be. -1: none.
  int fits = -1;

  bool Taken() const { return verdict == Verdict::kTaken; }
};

// The whole story of one operation: every command sent, in order.
struct Outcome {
  std::vector<StepOutcome> steps;
  // The line or the log failed during the last step: nothing more was sent.
  std::exception_ptr lost;

  bool Ok() const;
  // Where the story went wrong first: the step at fault (an answer that came
  // twice is blamed on the step that it repeats); -1 when none did.
  int FirstFault() const;
  // The step in whose attempt (or after it) that fault was seen.
  int FaultSeenAt() const;
  // The step at fault for steps[i]: the step it repeats, else itself.
  int Blamed(size_t i) const;
};

// An operation that did not get every answer it needed; the outcome tells
// which and why. what() is only for a log.
class EOperationFailed : public std::runtime_error {
 public:
  explicit EOperationFailed(Outcome outcome);
  const Outcome& Story() const { return outcome_; }

 private:
  Outcome outcome_;
};

// Sends an operation's commands through the host and decides every answer
// by the rule above; the programs only word the outcome. One runner serves
// one host for as long as it lives: the exchange's wait for a quiet line
// after a failed attempt is kept here.
class OperationRunner : private ExchangeHost {
 public:
  explicit OperationRunner(ExchangeHost& host) : host_(&host) {}
  // Over a sender with no line behind it (tests of the page operations):
  // nothing is read away and no end is waited for.
  explicit OperationRunner(CommandSender send) : send_(std::move(send)) {}

  // A new operation. One left open by a probe on this opening of the port
  // goes on instead: its end is paid once, by the operation that follows.
  void Begin();
  // Sends the step and judges what came. A lost line or log ends the
  // operation: EOperationFailed, its outcome's lost holding the error.
  const StepOutcome& Send(const Step& step);
  // Waits until every budget sent so far has run out and the line has been
  // quiet for a slice; what came belongs to the last step.
  void Settle();
  // Settles and gives the story; the next Begin starts afresh.
  Outcome Finish();
  // Keeps the operation open (a probe answered): what follows it is judged
  // when the next operation begins, or by Finish.
  void LeaveOpen();
  // Forgets the operation under way without waiting for its end.
  void Drop();

  const Outcome& Story() const { return outcome_; }
  bool Open() const { return open_; }

 private:
  TCustomComm& Comm1() override { return host_->Comm1(); }
  void SetConnected(bool checked) override { host_->SetConnected(checked); }
  bool EndsAnswersEarly() const override { return host_->EndsAnswersEarly(); }
  bool LineOpen() { return host_ != nullptr && Comm1().Opened(); }
  void NoteUnaccepted(const std::string& command, const std::string& received) override;
  void NoteReadAway(const std::string& command, const std::string& bytes) override;
  void NoteSent(const std::string& command, int32_t budget) override;

  void Judge(StepOutcome& step, const std::string& reply);
  // More came for steps[i] after its attempt: another answer of its.
  void JudgeAfter(size_t i, const std::string& bytes);
  // More than one answer belongs to steps[i]: bytes hold the extra one (its
  // attempt's whole reply when inAttempt).
  void ExtraAnswer(size_t i, const std::string& bytes, bool inAttempt);
  // The step whose answer bytes repeat (an extra answer to steps[i]); -1
  // when that cannot be told.
  int RepeatedStep(size_t i, const std::string& bytes, bool inAttempt,
                   const std::string& own) const;
  // The panel answered a write phase more often than it was asked.
  void DoubtWritesFrom(size_t first);

  ExchangeHost* host_ = nullptr;
  CommandSender send_;
  Outcome outcome_;
  bool open_ = false;     // a probe's operation waits for the next one
  uint64_t opening_ = 0;  // the port's OpenSerial when the operation began
  bool sent_ = false;     // a budget is running that the end must wait for
  uint32_t budgets_end_ = 0;
  uint32_t last_attempt_end_ = 0;
  std::string unaccepted_;
  std::string read_away_;
};

// Sends a read step and gives its data. The page operations read through
// one.
using DataReader = std::function<std::string(const Step& step)>;

// Each step through the runner: its data when the story so far holds, else
// EOperationFailed with the story.
DataReader StepReader(OperationRunner& runner);
