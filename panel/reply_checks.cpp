#include "panel/reply_checks.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "panel/exchange.h"
#include "panel/panel_fields.h"

namespace {

size_t Occurrences(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

constexpr size_t kFlagDigits = 4;
// Two characters the panel keeps, then the number's codes.
constexpr size_t kNumberData = 2 + kNumberDigits;

bool AllHex(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](unsigned char c) { return std::isxdigit(c) != 0; });
}

}  // namespace

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

int AnswersIn(const std::string& reply) {
  // A data part and the "OK" after it are one answer.
  const size_t verdicts = Occurrences(reply, "OK") + Occurrences(reply, "ERR");
  return static_cast<int>(std::max(verdicts, Occurrences(reply, ">")));
}
