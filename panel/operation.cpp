#include "panel/operation.h"

#include <algorithm>

#include "panel/commands.h"

namespace {

// The data parts a text holds, in order.
std::vector<std::string> DataParts(const std::string& text) {
  std::vector<std::string> parts;
  for (size_t at = text.find('>'); at != std::string::npos; at = text.find('>', at + 1)) {
    const size_t end = text.find("\r\n", at);
    if (end == std::string::npos) break;
    parts.push_back(text.substr(at + 1, end - at - 1));
    at = end;
  }
  return parts;
}

// For a log: the commands that were not taken, without their data.
std::string Summary(const Outcome& outcome) {
  std::string text = "the panel's answers could not be taken:";
  for (const StepOutcome& s : outcome.steps)
    if (!s.Taken()) {
      // Appended piece by piece: mingw's GCC 12 misreads "..." +
      // std::string&& as an overlapping copy (-Wrestrict).
      text += ' ';
      text += CommandName(s.step.command);
    }
  if (outcome.lost) text += " (the line or the log failed)";
  return text;
}

}  // namespace

Step ProbeStep() {
  return {std::string(kProbeCommand),
          Phase::kProbe,
          Subject::kProbe,
          0,
          kProbeBudget,
          ReplyShape::kKey};
}

Step PresentedKeyStep() {
  return {std::string(kPresentedKeyCommand),
          Phase::kRead,
          Subject::kPresentedKey,
          0,
          kPresentedKeyBudget,
          ReplyShape::kKey};
}

Step KeyReadStep(int slot, Phase phase, ReplyShape shape) {
  return {KeyReadCommand(slot), phase, Subject::kKey, slot, kKeyBudget, shape};
}

Step FlagsReadStep(Phase phase) {
  return {
      std::string(kFlagsReadCommand), phase, Subject::kFlags, 0, kFlagsBudget, ReplyShape::kFlags};
}

Step NumberReadStep(int event, Phase phase) {
  return {NumberReadCommand(event), phase, Subject::kNumber, event, kNumberBudget,
          ReplyShape::kNumber};
}

Step KeyWriteStep(int slot, const std::string& panelKey) {
  return {KeyWriteCommand(slot, panelKey),
          Phase::kWrite,
          Subject::kKey,
          slot,
          kKeyBudget,
          ReplyShape::kKey};
}

Step FlagsWriteStep(const std::string& dialDigits, const std::string& dayDigits) {
  return {FlagsWriteCommand(dialDigits, dayDigits),
          Phase::kWrite,
          Subject::kFlags,
          0,
          kFlagsBudget,
          ReplyShape::kFlags};
}

Step NumberWriteStep(int event, const std::string& digits) {
  return {NumberWriteCommand(event, digits),
          Phase::kWrite,
          Subject::kNumber,
          event,
          kNumberBudget,
          ReplyShape::kNumber};
}

bool Outcome::Ok() const {
  return !lost &&
         std::all_of(steps.begin(), steps.end(), [](const StepOutcome& s) { return s.Taken(); });
}

int Outcome::Blamed(size_t i) const {
  return steps[i].repeats >= 0 ? steps[i].repeats : static_cast<int>(i);
}

int Outcome::FaultSeenAt() const {
  int seen = -1;
  for (size_t i = 0; i < steps.size(); ++i) {
    // A write in doubt is a consequence: the fault is the answer too many.
    if (steps[i].Taken() || steps[i].verdict == Verdict::kInDoubt) continue;
    if (seen < 0 || Blamed(i) < Blamed(static_cast<size_t>(seen))) seen = static_cast<int>(i);
  }
  if (seen < 0 && lost) seen = static_cast<int>(steps.size()) - 1;
  return seen;
}

int Outcome::FirstFault() const {
  const int seen = FaultSeenAt();
  return seen < 0 || static_cast<size_t>(seen) >= steps.size() ? seen
                                                               : Blamed(static_cast<size_t>(seen));
}

EOperationFailed::EOperationFailed(Outcome outcome)
    : std::runtime_error(Summary(outcome)), outcome_(std::move(outcome)) {}

void OperationRunner::Begin() {
  // The probe's end is judged by what comes before this operation's first
  // command, as the rule takes any other command's.
  if (open_ && LineOpen() && Comm1().OpenSerial() == opening_) {
    open_ = false;
    return;
  }
  Drop();
}

void OperationRunner::Drop() {
  outcome_ = {};
  open_ = false;
  sent_ = false;
  opening_ = LineOpen() ? Comm1().OpenSerial() : 0;
}

void OperationRunner::LeaveOpen() {
  open_ = true;
}

const StepOutcome& OperationRunner::Send(const Step& step) {
  unaccepted_.clear();
  read_away_.clear();
  StepOutcome sent;
  sent.step = step;
  outcome_.steps.push_back(std::move(sent));
  const size_t i = outcome_.steps.size() - 1;
  std::string reply;
  try {
    if (host_ != nullptr)
      SendCommand(*this, step.command, kCommandAttempts, step.budget, reply);
    else
      send_(step.command, kCommandAttempts, step.budget, reply);
  } catch (...) {
    outcome_.lost = std::current_exception();
    outcome_.steps[i].came = unaccepted_;
    throw EOperationFailed(outcome_);
  }
  // What was read away before it went out followed the step before.
  if (i > 0 && !read_away_.empty()) JudgeAfter(i - 1, read_away_);
  Judge(outcome_.steps[i], reply);
  last_attempt_end_ = TickMs();
  return outcome_.steps[i];
}

void OperationRunner::Settle() {
  if (!sent_ || !LineOpen()) return;
  sent_ = false;
  std::string more;
  try {
    more = WatchLineUntil(Comm1(), budgets_end_, last_attempt_end_);
  } catch (...) {
    outcome_.lost = std::current_exception();
    throw EOperationFailed(outcome_);
  }
  if (!more.empty() && !outcome_.steps.empty()) JudgeAfter(outcome_.steps.size() - 1, more);
}

Outcome OperationRunner::Finish() {
  Settle();
  open_ = false;
  Outcome story = std::move(outcome_);
  outcome_ = {};
  return story;
}

void OperationRunner::NoteUnaccepted(const std::string& command, const std::string& received) {
  unaccepted_ = received;
  host_->NoteUnaccepted(command, received);
}

void OperationRunner::NoteReadAway(const std::string& command, const std::string& bytes) {
  read_away_ += bytes;
  host_->NoteReadAway(command, bytes);
}

void OperationRunner::NoteSent(const std::string& command, int32_t budget) {
  const uint32_t end = TickMs() + static_cast<uint32_t>(budget > 0 ? budget : 0);
  if (!sent_ || static_cast<int32_t>(end - budgets_end_) > 0) budgets_end_ = end;
  sent_ = true;
  host_->NoteSent(command, budget);
}

void OperationRunner::Judge(StepOutcome& s, const std::string& reply) {
  // A refusal leaves the reply empty: what came is the attempt's.
  s.came = reply.empty() ? unaccepted_ : reply;
  const size_t i = static_cast<size_t>(&s - outcome_.steps.data());
  if (s.came.empty()) {
    s.verdict = Verdict::kNoAnswer;
    return;
  }
  // A refusal is an answer too: a stale "OK" beside this command's "ERROR"
  // is no acceptance of it.
  if (AnswersIn(s.came) > 1) {
    ExtraAnswer(i, s.came, true);
    return;
  }
  if (reply.empty()) {
    s.verdict = Verdict::kRefused;
    s.problem = UnacceptedProblem(s.came);
    return;
  }
  switch (s.step.phase) {
    case Phase::kProbe:
      // The panel counts as present when it accepted; its data is kept only
      // to know a copy of it again.
      s.verdict = Verdict::kTaken;
      s.data = ExtractReply(reply);
      return;
    case Phase::kWrite:
      if (WriteConfirmed(reply)) {
        s.verdict = Verdict::kTaken;
      } else {
        s.verdict = Verdict::kRefused;
        s.problem = ReplyProblem::kWrongShape;
      }
      return;
    case Phase::kRead:
    case Phase::kReadBack:
      break;
  }
  s.problem = CheckReply(reply, s.step.shape);
  if (s.problem == ReplyProblem::kNone) {
    s.verdict = Verdict::kTaken;
    s.data = ExtractReply(reply);
  } else {
    s.verdict = Verdict::kRefused;
  }
}

void OperationRunner::JudgeAfter(size_t i, const std::string& bytes) {
  StepOutcome& s = outcome_.steps[i];
  s.after += bytes;
  if (!HoldsAnswer(bytes) || s.verdict == Verdict::kExtraAnswer) return;
  // A command that got nothing in its attempt has its own answer late: it
  // failed already, and the late answer is shown with it.
  if (s.came.empty()) return;
  ExtraAnswer(i, bytes, false);
}

void OperationRunner::ExtraAnswer(size_t i, const std::string& bytes, bool inAttempt) {
  StepOutcome& s = outcome_.steps[i];
  const std::string own = s.data;
  s.verdict = Verdict::kExtraAnswer;
  s.data.clear();
  s.repeats = RepeatedStep(i, bytes, inAttempt, own);
  // Otherwise it may be any earlier step's of its kind: a late "OK" is every
  // write's, a data part every read's.
  size_t first = i;
  for (size_t j = 0; j < i; ++j) {
    if (outcome_.steps[j].step.IsWrite() == s.step.IsWrite()) {
      first = j;
      break;
    }
  }
  s.span_from = static_cast<int>(first);
  if (s.repeats < 0 && !s.step.IsWrite()) {
    for (const std::string& part : DataParts(bytes)) {
      if (ShapeFits(part, s.step.shape) && inAttempt) continue;
      for (size_t j = i; s.fits < 0 && j-- > 0;)
        if (!outcome_.steps[j].step.IsWrite() && ShapeFits(part, outcome_.steps[j].step.shape))
          s.fits = static_cast<int>(j);
    }
  }
  // Its own answer twice, or an earlier step's with the same data: both
  // are named.
  if (s.repeats == static_cast<int>(i)) {
    const std::vector<std::string> parts = DataParts(bytes);
    for (size_t j = i; !parts.empty() && s.fits < 0 && j-- > 0;) {
      const StepOutcome& e = outcome_.steps[j];
      if (!e.step.IsWrite() && e.Taken() && e.data == parts.front()) s.fits = static_cast<int>(j);
    }
  }
  if (s.step.IsWrite()) DoubtWritesFrom(first);
}

int OperationRunner::RepeatedStep(size_t i, const std::string& bytes, bool inAttempt,
                                  const std::string& own) const {
  // The latest earlier step whose taken data is part; -1: none.
  const auto earlier = [&](const std::string& part) {
    for (size_t j = i; j-- > 0;) {
      const StepOutcome& e = outcome_.steps[j];
      if (e.step.IsWrite()) continue;
      if (e.Taken() && e.data == part) return static_cast<int>(j);
      // A read that got nothing may have its own answer late; one that
      // failed otherwise leaves it open whose the answer is.
      if (!e.Taken() && ShapeFits(part, e.step.shape))
        return e.came.empty() ? static_cast<int>(j) : -1;
    }
    return -1;
  };
  const std::vector<std::string> parts = DataParts(bytes);
  if (!inAttempt) {
    // After its attempt: its own answer again, or an earlier one's.
    const Step& step = outcome_.steps[i].step;
    for (const std::string& part : parts) {
      if (!own.empty() && part == own) return static_cast<int>(i);
      // A read that took no answer of its own may have it late.
      if (own.empty() && !step.IsWrite() && ShapeFits(part, step.shape)) return -1;
      if (const int j = earlier(part); j >= 0) return j;
    }
    return -1;
  }
  // In its attempt one of the parts may be its own. A part that cannot be
  // its own (not its shape, or any part of a write's reply) is the copy;
  // the same part twice is its own answer twice; else it cannot be told.
  const Step& step = outcome_.steps[i].step;
  std::vector<std::string> foreign;
  for (const std::string& part : parts)
    if (step.IsWrite() || !ShapeFits(part, step.shape)) foreign.push_back(part);
  if (foreign.size() == 1) return earlier(foreign.front());
  if (!foreign.empty() || parts.size() != 2) return -1;
  if (parts[0] == parts[1]) return static_cast<int>(i);
  // Two answers of its shape: one that is the step before's answer again,
  // beside one that is nobody's, is that step's copy (a different command:
  // the probe and key1's read are one text).
  if (i == 0) return -1;
  const StepOutcome& before = outcome_.steps[i - 1];
  if (before.step.IsWrite() || !before.Taken() || before.step.command == step.command) return -1;
  const bool first = parts[0] == before.data;
  const bool second = parts[1] == before.data;
  if (first == second || earlier(first ? parts[1] : parts[0]) >= 0) return -1;
  return static_cast<int>(i - 1);
}

void OperationRunner::DoubtWritesFrom(size_t first) {
  for (size_t j = first; j < outcome_.steps.size(); ++j) {
    StepOutcome& w = outcome_.steps[j];
    if (!w.step.IsWrite() || !w.Taken()) continue;
    w.verdict = Verdict::kInDoubt;
    w.span_from = static_cast<int>(first);
  }
}

DataReader StepReader(OperationRunner& runner) {
  return [&runner](const Step& step) {
    const std::string data = runner.Send(step).data;
    // The step before may have been followed by more than its answer.
    if (!runner.Story().Ok()) throw EOperationFailed(runner.Story());
    return data;
  };
}
