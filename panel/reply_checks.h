#pragma once
// The shape of one reply, for the runner that judges every answer
// (operation.h): a reply holds exactly one answer ("OK" or a refusal
// "ERR..."), a read's data has its command's shape, and a write's
// confirmation is "OK" and nothing else.

#include <string>

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
};

// Whether a read's data has the shape.
bool ShapeFits(const std::string& data, ReplyShape shape);

// The problem with a read's reply text; kNone when its data can be taken.
ReplyProblem CheckReply(const std::string& reply, ReplyShape shape);

// What came instead of an accepted reply: kRefused for a refusal alone,
// else kAnsweredWithout; kNotAnswered when nothing came.
ReplyProblem UnacceptedProblem(const std::string& came);

// True when bytes hold (a piece of) an answer: "OK", "ERR" or a data part.
bool HoldsAnswer(const std::string& bytes);

// True when a write's reply is its confirmation alone: an "OK" line, maybe
// cut short by the end of a slice, with nothing else but empty lines.
bool WriteConfirmed(const std::string& reply);

// The answers a reply text holds: "OK" and "ERR" lines, and data parts.
int AnswersIn(const std::string& reply);
