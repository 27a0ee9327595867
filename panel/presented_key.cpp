#include "panel/presented_key.h"

#include "panel/commands.h"
#include "panel/encodings.h"
#include "panel/panel_session.h"
#include "panel/reply_checks.h"

PresentedKeyRead ReadPresentedKeyExactly(PanelSession& session) {
  if (!session.PortOpen()) throw EPortNotOpen(session.PortName());
  std::string reply;
  session.Sender()(std::string(kPresentedKeyCommand), kCommandAttempts, kPresentedKeyBudget, reply);
  if (reply.empty()) return {PresentedKey::kNoKey, {}, {}};
  // A late copy of this answer, or another command's, would otherwise be
  // taken for the next command's.
  const std::string more = session.AfterLastAnswer();
  if (const ReplyProblem problem = CheckReply(reply, ReplyShape::kKey);
      problem != ReplyProblem::kNone)
    return {PresentedKey::kNotAKey, {}, reply + more, problem};
  if (!more.empty()) return {PresentedKey::kNotAKey, {}, more, ReplyProblem::kFollowed};
  return {PresentedKey::kKey, ReverseKeyBytes(ExtractReply(reply)), reply};
}
