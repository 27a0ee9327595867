#include "tools/cli/cli_story.h"

#include <vector>

#include "panel/panel_image.h"

namespace {

// What was wrong with a read's data, by the shape it should have had.
std::string ShapeText(ReplyShape shape) {
  switch (shape) {
    case ReplyShape::kKey:
      return "got a reply that is not a key (16 hexadecimal digits)";
    case ReplyShape::kShortKey:
      return "got a reply that is not a key (up to 16 hexadecimal digits)";
    case ReplyShape::kSlotKey:
      return "got a reply that is not a key (16 hexadecimal digits, or none for a slot in no "
             "use)";
    case ReplyShape::kFlags:
      return "got a reply that is not the flags (4 hexadecimal digits)";
    case ReplyShape::kNumber:
      break;
  }
  return "got a reply that is not a number (2 characters and 32 hexadecimal digits)";
}

bool InPart(const StepOutcome& s, StoryPart part) {
  switch (part) {
    case StoryPart::kAll:
      return true;
    case StoryPart::kWrites:
      return s.step.phase == Phase::kWrite || s.step.phase == Phase::kProbe;
    case StoryPart::kReadBack:
      return s.step.phase == Phase::kReadBack;
  }
  return true;
}

std::string StepLine(const Outcome& story, size_t i, const std::string& port) {
  const StepOutcome& s = story.steps[i];
  const std::string name = StepName(s.step);
  const std::string then = s.after.empty() ? "" : " (then came " + Quoted(s.after) + ")";
  switch (s.verdict) {
    case Verdict::kTaken:
    case Verdict::kInDoubt:
      return {};
    case Verdict::kNoAnswer:
      return name + " on " + port + " was not answered" + then;
    case Verdict::kRefused:
      if (s.problem == ReplyProblem::kRefused)
        return "the panel on " + port + " refused " + name + ": " + Quoted(s.came);
      if (s.problem == ReplyProblem::kAnsweredWithout)
        return name + " on " + port + " was answered without \"OK\": " + Quoted(s.came);
      // Another answer than a write's "OK" alone: the header names the port.
      if (s.step.IsWrite()) return name + " was answered " + Quoted(s.came);
      return name + " on " + port + " " + ShapeText(s.step.shape) + ": " + Quoted(s.came) + then;
    case Verdict::kExtraAnswer:
      break;
  }
  const std::string came = s.after.empty() ? s.came : s.came + s.after;
  if (s.repeats >= 0) {
    const StepOutcome& owner = story.steps[s.repeats];
    const std::string twice = StepName(owner.step);
    if (static_cast<size_t>(s.repeats) == i)
      return twice + " on " + port + " was answered twice: " + Quoted(came) +
             (s.fits < 0 ? ""
                         : "\n(or " + StepName(story.steps[s.fits].step) +
                               "'s answer, which is the same, came twice)");
    if (owner.verdict == Verdict::kNoAnswer)
      return twice + " on " + port + " was answered late, with " + name + ": " + Quoted(came);
    return twice + "'s answer came twice on " + port + ", the second time with " + name + ": " +
           Quoted(came);
  }
  std::string line = name + " on " + port + " got more than one answer: " + Quoted(came);
  if (s.fits >= 0)
    line += "\nthe answer too many is " + StepName(story.steps[s.fits].step) +
            "'s or an earlier command's";
  else if (s.span_from >= 0 && static_cast<size_t>(s.span_from) < i)
    line += "\nthe answer too many may belong to any command from " +
            StepName(story.steps[s.span_from].step) + " to " + name;
  return line;
}

}  // namespace

std::string Quoted(const std::string& bytes) {
  // Appended piece by piece: mingw's GCC 12 misreads "..." + std::string&&
  // as an overlapping copy (-Wrestrict).
  std::string text = "\"";
  text += EscapedBytes(bytes);
  text += '"';
  return text;
}

std::string StepName(const Step& step) {
  const std::string command = step.command.substr(0, step.subject == Subject::kFlags ? 2 : 4);
  switch (step.subject) {
    case Subject::kProbe:
      return "the probe " + command;
    case Subject::kPresentedKey:
      return "the presented key (" + command + ")";
    case Subject::kKey:
      return "key" + std::to_string(step.index) + " (" + command + ")";
    case Subject::kFlags:
      return "the dial and day flags (" + command + ")";
    case Subject::kNumber:
      break;
  }
  return "number" + std::to_string(step.index) + " (" + command + ")";
}

std::string StoryLines(const Outcome& story, const std::string& port, StoryPart part,
                       bool skipStopped) {
  std::vector<size_t> order;
  const int fault = story.FaultSeenAt();
  if (fault >= 0 && InPart(story.steps[fault], part)) order.push_back(static_cast<size_t>(fault));
  for (size_t i = 0; i < story.steps.size(); ++i)
    if (static_cast<int>(i) != fault && InPart(story.steps[i], part)) order.push_back(i);
  std::string text;
  int doubtFrom = -1;
  std::vector<bool> toldLate(story.steps.size(), false);
  for (const StepOutcome& s : story.steps)
    if (s.verdict == Verdict::kExtraAnswer && s.repeats >= 0 &&
        story.steps[s.repeats].verdict == Verdict::kNoAnswer)
      toldLate[s.repeats] = true;
  for (size_t i : order) {
    const StepOutcome& s = story.steps[i];
    if (toldLate[i]) continue;
    if (s.verdict == Verdict::kInDoubt && doubtFrom < 0) doubtFrom = s.span_from;
    if (skipStopped && s.step.IsWrite() && s.verdict == Verdict::kNoAnswer) continue;
    const std::string line = StepLine(story, i, port);
    if (!line.empty()) text += (text.empty() ? "" : "\n") + line;
  }
  if (doubtFrom >= 0)
    text += "\nthe panel answered more often than it was asked, so no write from " +
            StepName(story.steps[doubtFrom].step) + " on can be taken as confirmed";
  return text;
}

std::string StoryAdvice(const Outcome& story, const std::string& again) {
  const int fault = story.FaultSeenAt();
  const Verdict verdict = fault < 0 ? Verdict::kTaken : story.steps[fault].verdict;
  const ReplyProblem problem = fault < 0 ? ReplyProblem::kNone : story.steps[fault].problem;
  const std::string log = " (the exact replies are in log.txt with -d)";
  if (verdict == Verdict::kNoAnswer)
    return "check that the panel is powered and its cable is in, then " + again;
  if (verdict == Verdict::kRefused && problem == ReplyProblem::kRefused)
    return "the panel refused the command: " + again +
           "; if it refuses again, power the panel off and on" + log;
  if (verdict == Verdict::kExtraAnswer || verdict == Verdict::kInDoubt)
    return "the panel answered more often than it was asked: " + again +
           "; if it happens again, check that nothing else is wired to the line" + log;
  return "check that this is an Orvex GSM panel and that nothing else is wired to the line, "
         "then " +
         again + log;
}
