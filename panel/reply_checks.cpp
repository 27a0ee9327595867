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
  if (reply.find('>') == std::string::npos) return ReplyProblem::kWrongShape;
  return ShapeFits(ExtractReply(reply), shape) ? ReplyProblem::kNone : ReplyProblem::kWrongShape;
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

std::string ReplyProblemText(ReplyProblem problem, ReplyShape shape) {
  switch (problem) {
    case ReplyProblem::kNone:
      return {};
    case ReplyProblem::kNotAnswered:
      return "was not answered";
    case ReplyProblem::kAnsweredWithout:
      return "was answered without \"OK\"";
    case ReplyProblem::kTwoAnswers:
      return "got a reply holding more than one answer";
    case ReplyProblem::kFollowed:
      return "was followed by more than its answer";
    case ReplyProblem::kWrongShape:
      break;
  }
  switch (shape) {
    case ReplyShape::kKey:
      return "got a reply that is not a key (16 hexadecimal digits)";
    case ReplyShape::kSlotKey:
      return "got a reply that is not a key (16 hexadecimal digits, or none for a slot in no use)";
    case ReplyShape::kShortKey:
      return "got a reply that is not a key (up to 16 hexadecimal digits)";
    case ReplyShape::kFlags:
      return "got a reply that is not the flags (4 hexadecimal digits)";
    case ReplyShape::kNumber:
      break;
  }
  return "got a reply that is not a number (2 characters and 32 hexadecimal digits)";
}

std::string ReplyProblemTextRu(ReplyProblem problem, ReplyShape shape) {
  switch (problem) {
    case ReplyProblem::kNone:
      return {};
    case ReplyProblem::kNotAnswered:
      return "нет ответа";
    case ReplyProblem::kAnsweredWithout:
      return "ответ без \"OK\"";
    case ReplyProblem::kTwoAnswers:
      return "в ответе больше одного ответа";
    case ReplyProblem::kFollowed:
      return "за ответом пришло ещё что-то";
    case ReplyProblem::kWrongShape:
      break;
  }
  switch (shape) {
    case ReplyShape::kKey:
    case ReplyShape::kShortKey:
    case ReplyShape::kSlotKey:
      return "ответ не похож на ключ (до 16 шестнадцатеричных цифр)";
    case ReplyShape::kFlags:
      return "ответ не похож на флаги (4 шестнадцатеричные цифры)";
    case ReplyShape::kNumber:
      break;
  }
  return "ответ не похож на номер (2 знака и 32 шестнадцатеричные цифры)";
}

std::string FieldOf(const std::string& command) {
  if (command == kPresentedKeyCommand) return "ключ у считывателя";
  if (command.starts_with("+T0") && command.size() == 4) return "ключ " + command.substr(3);
  if (command.starts_with("+H0") && command.size() == 4) return "номер " + command.substr(3);
  if (command == kFlagsReadCommand) return "флаги";
  return command;
}

EPanelReplyError::EPanelReplyError(const std::string& field, const std::string& command,
                                   const std::string& reason, const std::string& reply)
    : std::runtime_error("Не удалось прочитать " + field + " (" + command + "): " + reason),
      command_(command),
      reply_(reply) {}

DataReader LiteralData(const CommandSender& send) {
  return [send](const std::string& command, int32_t budget, ReplyShape) {
    std::string reply;
    send(command, kCommandAttempts, budget, reply);
    return ExtractReply(reply);
  };
}

DataReader CheckedData(const CommandSender& send, const LineNotes* notes) {
  // The command before the current one, to be refused when more of an
  // answer turns up once it has been answered.
  struct Previous {
    std::string command;
    ReplyShape shape = ReplyShape::kKey;
  };
  auto previous = std::make_shared<Previous>();
  return [send, notes, previous](const std::string& command, int32_t budget, ReplyShape shape) {
    std::string reply;
    send(command, kCommandAttempts, budget, reply);
    if (notes != nullptr && !previous->command.empty() && HoldsAnswer(notes->ReadAway()))
      throw EPanelReplyError(FieldOf(previous->command), previous->command,
                             ReplyProblemTextRu(ReplyProblem::kFollowed, previous->shape) + ": \"" +
                                 EscapedBytes(notes->ReadAway()) + "\"",
                             notes->ReadAway());
    *previous = {command, shape};
    ReplyProblem problem = CheckReply(reply, shape);
    if (problem == ReplyProblem::kNotAnswered && notes != nullptr && !notes->Unaccepted().empty()) {
      problem = ReplyProblem::kAnsweredWithout;
      reply = notes->Unaccepted();
    }
    if (problem != ReplyProblem::kNone) {
      std::string reason = ReplyProblemTextRu(problem, shape);
      if (!reply.empty()) reason += ": \"" + EscapedBytes(reply) + "\"";
      throw EPanelReplyError(FieldOf(command), command, reason, reply);
    }
    return ExtractReply(reply);
  };
}
