#include "panel/reply_checks.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string_view>

#include "panel/answer_ledger.h"
#include "panel/commands.h"
#include "panel/panel_fields.h"
#include "panel/panel_image.h"

namespace {

constexpr size_t kFlagDigits = 4;
// Two characters the panel keeps, then the number's codes.
constexpr size_t kNumberData = 2 + kNumberDigits;

bool AllHex(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](unsigned char c) { return std::isxdigit(c) != 0; });
}

bool ShapeFits(const std::string& data, ReplyShape shape) {
  switch (shape) {
    case ReplyShape::kKey:
      return data.size() == kKeyDigits && AllHex(data);
    case ReplyShape::kShortKey:
      return data.size() <= kKeyDigits && AllHex(data);
    case ReplyShape::kSlotKey:
      return (data.empty() || data.size() == kKeyDigits) && AllHex(data);
    case ReplyShape::kFlags:
      return data.size() == kFlagDigits && AllHex(data);
    case ReplyShape::kNumber:
      return data.size() == kNumberData && AllHex(std::string_view(data).substr(2));
  }
  return false;
}

}  // namespace

ReplyProblem CheckReply(const std::string& reply, ReplyShape shape) {
  if (reply.empty()) return ReplyProblem::kNotAnswered;
  // An answer that came late, or twice, shares the reply with this one: which
  // of them belongs to this command cannot be told. A refusal is an answer
  // too: a stale "OK" beside this command's "ERROR" is no acceptance of it.
  if (AnswersIn(reply) > 1) return ReplyProblem::kTwoAnswers;
  // A reply without its data part is no read's answer, however short a key
  // the window would take.
  const size_t data = reply.find('>');
  if (data == std::string::npos) return ReplyProblem::kWrongShape;
  // A data part cut before its line end is no data, not an empty one.
  if (reply.find("\r\n", data) == std::string::npos) return ReplyProblem::kWrongShape;
  return ShapeFits(ExtractReply(reply), shape) ? ReplyProblem::kNone : ReplyProblem::kWrongShape;
}

ReplyProblem UnacceptedProblem(const std::string& came) {
  if (came.empty()) return ReplyProblem::kNotAnswered;
  const bool refused =
      came.find("ERR") != std::string::npos && came.find("OK") == std::string::npos;
  return refused ? ReplyProblem::kRefused : ReplyProblem::kAnsweredWithout;
}

ReplyProblem WriteReplyProblem(const std::string& reply) {
  const ReplyProblem problem = UnacceptedProblem(reply);
  if (problem != ReplyProblem::kAnsweredWithout) return problem;
  return AnswersIn(reply) > 1 ? ReplyProblem::kTwoAnswers : ReplyProblem::kWrongShape;
}

bool HoldsAnswer(const std::string& bytes) {
  return bytes.find("OK") != std::string::npos || bytes.find("ERR") != std::string::npos ||
         bytes.find('>') != std::string::npos;
}

bool WriteConfirmed(const std::string& reply) {
  bool ok = false;
  for (size_t start = 0; start < reply.size();) {
    size_t end = reply.find("\r\n", start);
    const bool last = end == std::string::npos;
    if (last) end = reply.size();
    std::string_view line = std::string_view(reply).substr(start, end - start);
    // The slice may have ended between "OK" and its line end.
    if (last && line.ends_with('\r')) line.remove_suffix(1);
    if (line == "OK") {
      if (ok) return false;
      ok = true;
    } else if (!line.empty()) {
      return false;
    }
    start = last ? end : end + 2;
  }
  return ok;
}

EPanelReplyError::EPanelReplyError(const std::string& command, ReplyProblem problem,
                                   ReplyShape shape, const std::string& reply)
    : std::runtime_error("the reply to " + command + " was not taken"),
      command_(command),
      problem_(problem),
      shape_(shape),
      reply_(reply) {}
DataReader LiteralData(const CommandSender& send) {
  return [send](const std::string& command, int32_t budget, ReplyShape) {
    std::string reply;
    send(command, kCommandAttempts, budget, reply);
    return ExtractReply(reply);
  };
}

ReplyTaker::Taken ReplyTaker::Take(const std::string& command, ReplyShape shape,
                                   const std::string& reply) {
  Taken taken;
  // More of an answer before this command went out followed the answer of
  // the one before: that answer may not be the panel's reply to it.
  if (notes_ != nullptr && !previous_.empty() && HoldsAnswer(notes_->ReadAway()))
    taken.followed =
        RefusedReply{previous_, ReplyProblem::kFollowed, previous_shape_, notes_->ReadAway()};
  previous_ = command;
  previous_shape_ = shape;
  ReplyProblem problem = CheckReply(reply, shape);
  std::string came = reply;
  if (problem == ReplyProblem::kNotAnswered && notes_ != nullptr && !notes_->Unaccepted().empty()) {
    problem = UnacceptedProblem(notes_->Unaccepted());
    came = notes_->Unaccepted();
  }
  if (problem != ReplyProblem::kNone)
    taken.refused = RefusedReply{command, problem, shape, came};
  else
    taken.data = ExtractReply(reply);
  return taken;
}

DataReader CheckedData(const CommandSender& send, const LineNotes* notes) {
  auto taker = std::make_shared<ReplyTaker>(notes);
  return [send, taker](const std::string& command, int32_t budget, ReplyShape shape) {
    std::string reply;
    send(command, kCommandAttempts, budget, reply);
    const ReplyTaker::Taken taken = taker->Take(command, shape, reply);
    // Two checks, not a loop over copies of the optionals: mingw's GCC 12
    // warns at -O3 that such a copy may be read uninitialised.
    if (const std::optional<RefusedReply>& r = taken.followed; r.has_value())
      throw EPanelReplyError(r->command, r->problem, r->shape, r->reply);
    if (const std::optional<RefusedReply>& r = taken.refused; r.has_value())
      throw EPanelReplyError(r->command, r->problem, r->shape, r->reply);
    return taken.data;
  };
}
