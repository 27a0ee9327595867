#include "sim_engine.h"

#include <algorithm>

namespace {

// Answers nobody reads are dropped beyond this, so that a client that sends
// without reading cannot make the simulator grow.
constexpr size_t kMaxPendingBytes = 1024 * 1024;

}  // namespace

std::vector<std::string> ShapeAnswer(PanelAnswer answer, const Misbehaviour& misbehaviour) {
  if (misbehaviour.badHex && answer.kind == AnswerKind::kData) {
    size_t keep = answer.data.size() >= 2 ? answer.data.size() - 2 : 0;
    answer.data.replace(keep, std::string::npos, answer.data.size() - keep, 'Z');
  }
  std::string text = AnswerText(answer, misbehaviour.lowercaseOk ? "ok" : "OK");
  if (misbehaviour.longFill > 0) {
    text = std::string(static_cast<size_t>(misbehaviour.longFill), '*') + "\r\n" + text;
  }
  if (misbehaviour.nul) {
    std::string spaced;
    for (char c : text) {
      spaced += c;
      spaced += '\0';
    }
    text = std::move(spaced);
  }
  size_t count = std::clamp<size_t>(static_cast<size_t>(misbehaviour.pieces), 1, text.size());
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i < count; ++i) {
    size_t end = text.size() * (i + 1) / count;
    parts.push_back(text.substr(start, end - start));
    start = end;
  }
  return parts;
}

SimEngine::SimEngine(const SimOptions& options, const PanelState& state, CommandLog& log,
                     SaveFn save)
    : options_(options),
      state_(state),
      log_(log),
      save_(std::move(save)),
      presented_(options.presented) {}

void SimEngine::Receive(std::string_view bytes, int64_t now) {
  std::vector<CommandLine> lines;
  assembler_.Feed(bytes, lines);
  for (const CommandLine& line : lines) HandleLine(line, now);
}

void SimEngine::HandleLine(const CommandLine& line, int64_t now) {
  log_.Received(line.text, line.length);
  if (hangup_) {
    log_.Note("line is going down: not answered");
    return;
  }
  ++commands_;
  if (options_.hangupAfter > 0 && commands_ >= options_.hangupAfter) hangup_ = true;
  // A new command ends the wait for a key at the reader, as a real panel
  // turns to the newest command.
  key_wait_until_.reset();

  if (StartsWithAny(line.text, options_.silentOn)) {
    log_.Note("lost (--silent-on): no answer");
    return;
  }
  if (StartsWithAny(line.text, options_.errorOn)) {
    Schedule(PanelAnswer{}, false, now, line.text);
    return;
  }
  const Misbehaviour& m = options_.misbehaviour;
  bool misbehave = m.AppliesTo(line.text);
  if (misbehave && m.silent) {
    log_.Note("lost (--silent): no answer");
    return;
  }
  // A panel that mixes up its commands carries out another one.
  std::string_view command = line.text;
  for (const AnswerSwap& swap : options_.answerAs) {
    if (line.text.compare(0, swap.prefix.size(), swap.prefix) == 0) {
      log_.Note("answered as " + EscapeBytes(swap.command));
      command = swap.command;
      break;
    }
  }
  PanelAnswer answer = line.Overlong() ? PanelAnswer{} : HandleCommand(state_, command, presented_);
  if (answer.changed && save_) save_(state_);
  if (answer.kind == AnswerKind::kAwaitKey) {
    log_.Note("waiting for a key at the reader");
    key_wait_until_ = now + options_.readerWaitMs;
    key_wait_misbehaves_ = misbehave;
    key_wait_command_ = line.text;
    return;
  }
  Schedule(answer, misbehave, now, line.text);
}

void SimEngine::Schedule(const PanelAnswer& answer, bool misbehave, int64_t now,
                         const std::string& command) {
  const Misbehaviour plain;
  const Misbehaviour& m = misbehave ? options_.misbehaviour : plain;
  std::vector<std::string> parts = ShapeAnswer(answer, m);
  if (options_.hangupMid && !hangup_mid_ &&
      command.compare(0, options_.hangupMid->prefix.size(), options_.hangupMid->prefix) == 0) {
    std::string text;
    for (const std::string& part : parts) text += part;
    const int64_t wanted = options_.hangupMid->value;
    const size_t keep =
        wanted < 0 ? text.size() / 2 : std::min(text.size(), static_cast<size_t>(wanted));
    parts = {text.substr(0, keep)};
    hangup_ = true;
    hangup_mid_ = true;
  }
  size_t size = 0;
  for (const std::string& part : parts) size += part.size();
  const PrefixValue* twice = FindPrefix(command, options_.twiceOn);
  if (pending_bytes_ + size * (twice ? 2 : 1) > kMaxPendingBytes) {
    log_.Note("answer dropped: the other side does not read");
    return;
  }
  int64_t delay = m.delayMs;
  if (const PrefixValue* late = FindPrefix(command, options_.lateOn)) delay += late->value;
  // Answers go out in the order of their commands, as on a real line.
  int64_t due = std::max(now + delay, last_due_);
  for (int copy = 0; copy < (twice ? 2 : 1); ++copy) {
    if (copy > 0) due += twice->value;
    for (size_t i = 0; i < parts.size(); ++i) {
      if (i > 0) due += m.pieceGapMs;
      log_.Note((copy > 0 ? "answer again " : "answer ") + EscapeBytes(parts[i]));
      pending_bytes_ += parts[i].size();
      pending_.push_back(Part{due, parts[i]});
    }
  }
  last_due_ = due;
}

std::string SimEngine::Control(std::string_view line, int64_t now) {
  if (line.substr(0, 8) != "present ") return "error: unknown control line";
  std::string_view keyText = line.substr(8);
  if (keyText == "none") {
    presented_.reset();
    return "presented none";
  }
  KeyBytes key;
  if (!FromHex(keyText, key)) return "error: a key is 16 hexadecimal digits";
  presented_ = key;
  if (key_wait_until_) {
    key_wait_until_.reset();
    Schedule(PanelAnswer{AnswerKind::kData, ToHex(key), false}, key_wait_misbehaves_, now,
             key_wait_command_);
  }
  return "presented " + ToHex(key);
}

std::optional<int64_t> SimEngine::NextDeadline() const {
  std::optional<int64_t> next = key_wait_until_;
  if (!pending_.empty() && (!next || pending_.front().due < *next)) next = pending_.front().due;
  return next;
}

std::string SimEngine::TakeDue(int64_t now) {
  if (key_wait_until_ && *key_wait_until_ <= now) {
    log_.Note("no key at the reader");
    key_wait_until_.reset();
    Schedule(PanelAnswer{}, key_wait_misbehaves_, now, key_wait_command_);
  }
  std::string bytes;
  while (!pending_.empty() && pending_.front().due <= now) {
    bytes += pending_.front().bytes;
    pending_bytes_ -= pending_.front().bytes.size();
    pending_.pop_front();
  }
  return bytes;
}

bool SimEngine::HangupDue() const {
  return hangup_ && pending_.empty() && !key_wait_until_;
}
