#include "panel/answer_ledger.h"

#include <algorithm>

#include "serial/comm_device.h"

namespace {

size_t Occurrences(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

}  // namespace

void AnswerLedger::Begin() {
  unaccepted_.clear();
  read_away_.clear();
}

std::string AnswerLedger::End() {
  const bool any = sent_;
  sent_ = false;
  if (!any || !Comm1().Opened()) return {};
  // The last attempt has just ended: no byte of it can be later than now.
  return WatchLineUntil(Comm1(), budgets_end_, TickMs());
}

void AnswerLedger::NoteUnaccepted(const std::string& command, const std::string& received) {
  unaccepted_ = received;
  host_.NoteUnaccepted(command, received);
}

void AnswerLedger::NoteReadAway(const std::string& command, const std::string& bytes) {
  read_away_ += bytes;
  host_.NoteReadAway(command, bytes);
}

void AnswerLedger::NoteSent(const std::string& command, int32_t budget) {
  const uint32_t end = TickMs() + static_cast<uint32_t>(budget > 0 ? budget : 0);
  if (!sent_ || static_cast<int32_t>(end - budgets_end_) > 0) budgets_end_ = end;
  sent_ = true;
  host_.NoteSent(command, budget);
}

int AnswersIn(const std::string& reply) {
  // A data part and the "OK" after it are one answer.
  const size_t verdicts = Occurrences(reply, "OK") + Occurrences(reply, "ERR");
  return static_cast<int>(std::max(verdicts, Occurrences(reply, ">")));
}
