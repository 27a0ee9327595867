#pragma once
// What counts as the panel's answer to one command, for both programs: a
// reply holds exactly one answer ("OK" or a refusal "ERR..."), a read's data
// has its command's shape, and a write's confirmation is "OK" and nothing
// else. The window and the command-line tool refuse the same replies; they
// only word the refusal in their own language.

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "panel/exchange.h"
#include "panel/page_link.h"

enum class ReplyShape {
  kKey,       // 16 hexadecimal digits
  kShortKey,  // up to 16 hexadecimal digits: the window pads a short key with "0"
  kSlotKey,   // 16 hexadecimal digits, or none for a slot in no use
  kFlags,     // 4 hexadecimal digits
  kNumber,    // 2 characters, then 32 hexadecimal digits
};

enum class ReplyProblem {
  kNone,
  kNotAnswered,      // nothing came
  kAnsweredWithout,  // bytes came, but no "OK"
  kRefused,          // the panel refused it: "ERR..." and no "OK"
  kTwoAnswers,       // more than one "OK" or "ERR...", or more than one data part
  kWrongShape,       // the data is not what the command reads
  kFollowed,         // more than its answer came after it
};

// The problem with a read's reply text; kNone when its data can be taken.
ReplyProblem CheckReply(const std::string& reply, ReplyShape shape);

// What came instead of an accepted reply: kRefused for a refusal alone,
// else kAnsweredWithout; kNotAnswered when nothing came.
ReplyProblem UnacceptedProblem(const std::string& came);

// What was wrong with a write's reply that did not confirm it: nothing came,
// a refusal, or more or other than "OK".
ReplyProblem WriteReplyProblem(const std::string& reply);

// True when bytes hold (a piece of) an answer: "OK", "ERR" or a data part.
bool HoldsAnswer(const std::string& bytes);

// True when a write's reply is its confirmation alone: an "OK" line, maybe
// cut short by the end of a slice, with nothing else but empty lines.
bool WriteConfirmed(const std::string& reply);

// What the line carried for the command sent last, besides its reply.
class LineNotes {
 public:
  virtual ~LineNotes() = default;
  // The bytes that came for it when it was not accepted; empty when none.
  virtual const std::string& Unaccepted() const = 0;
  // The bytes read away as late before it went out: they followed the
  // answer of the command before it.
  virtual const std::string& ReadAway() const = 0;
};

// One command whose reply could not be taken: not answered, or refused.
struct RefusedReply {
  std::string command;  // without its data: "+T01", "+s", "+H03"
  ReplyProblem problem = ReplyProblem::kNotAnswered;
  ReplyShape shape = ReplyShape::kKey;  // what the reply should have been
  std::string reply;                    // the reply text as it came (8-bit), empty if none
};

// The one check of every read on the line: after each command, what came
// before it went out (more of the answer of the command before it) and its
// own reply. notes may be null (no line behind the replies).
class ReplyTaker {
 public:
  explicit ReplyTaker(const LineNotes* notes) : notes_(notes) {}
  struct Taken {
    std::optional<RefusedReply> followed;  // the command before, refused
    std::optional<RefusedReply> refused;   // this command, refused
    std::string data;                      // this command's reply data, when taken
  };
  Taken Take(const std::string& command, ReplyShape shape, const std::string& reply);

 private:
  const LineNotes* notes_;
  std::string previous_;
  ReplyShape previous_shape_ = ReplyShape::kKey;
};

// A read that could not be taken, as data: the command ("+T02"), what was
// wrong with its reply, the shape it should have had, and the reply as it
// came. Each program words it; what() is only for a log.
class EPanelReplyError : public std::runtime_error {
 public:
  EPanelReplyError(const std::string& command, ReplyProblem problem, ReplyShape shape,
                   const std::string& reply);
  const std::string& Command() const { return command_; }
  ReplyProblem Problem() const { return problem_; }
  ReplyShape Shape() const { return shape_; }
  const std::string& Reply() const { return reply_; }

 private:
  std::string command_;
  ReplyProblem problem_;
  ReplyShape shape_;
  std::string reply_;
};

// Sends a read command and gives its reply data. The page operations read
// through one.
using DataReader =
    std::function<std::string(const std::string& command, int32_t budget, ReplyShape shape)>;

// The reply data as it comes (ExtractReply), whatever it holds.
DataReader LiteralData(const CommandSender& send);

// Reply data checked as the tool checks it; a short key is padded as the
// window always has. Raises EPanelReplyError for the first reply it cannot
// take, and for the command before a read whose line first carried more of
// an answer. notes may be null (no line behind send).
DataReader CheckedData(const CommandSender& send, const LineNotes* notes);
