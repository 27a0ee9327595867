#include "panel/presented_key.h"

#include "panel/encodings.h"
#include "panel/panel_session.h"

PresentedKeyRead ReadPresentedKeyExactly(PanelSession& session) {
  if (!session.PortOpen()) throw EPortNotOpen(session.PortName());
  OperationRunner& runner = session.Runner();
  runner.Begin();
  PresentedKeyRead read;
  try {
    const StepOutcome& step = runner.Send(PresentedKeyStep());
    // No "OK" within the budget: the panel saw no key.
    const bool noKey =
        step.verdict == Verdict::kNoAnswer ||
        (step.verdict == Verdict::kRefused && step.problem != ReplyProblem::kWrongShape);
    // A late copy of this answer, or another command's, would otherwise be
    // taken for the next command's.
    read.story = runner.Finish();
    const StepOutcome& last = read.story.steps.back();
    if (read.story.Ok()) {
      read.outcome = PresentedKey::kKey;
      read.key = ReverseKeyBytes(last.data);
    } else {
      read.outcome = noKey ? PresentedKey::kNoKey : PresentedKey::kNotAKey;
    }
  } catch (const EOperationFailed&) {
    runner.Drop();
    throw;
  }
  return read;
}
