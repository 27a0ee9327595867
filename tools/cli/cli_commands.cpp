#include "tools/cli/cli_commands.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <iostream>

#include "panel/checked_write.h"
#include "panel/commands.h"
#include "panel/encodings.h"
#include "panel/panel_errors.h"
#include "panel/panel_fields.h"
#include "panel/panel_port.h"
#include "panel/presented_key.h"
#include "panel/settings_file.h"
#include "serial/port_choice.h"
#include "serial/serial_error.h"
#include "support/log.h"
#include "support/text_codec.h"
#include "tools/cli/cli_files.h"
#include "tools/cli/cli_interrupt.h"
#include "tools/cli/cli_panel.h"
#include "tools/cli/cli_ports.h"
#include "tools/cli/cli_story.h"
#include "tools/cli/exit_codes.h"

namespace {

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

int CannotOpen(Link& link, const CliContext& cx) {
  std::string text = DescribeOpenFailure(cx.port, link.session.LastOpenFailure());
  // A name the user did not type: where it came from, and how to give another.
  while (!text.empty() && text.back() == '\n') text.pop_back();
  if (!cx.port_source.empty())
    text += "\n" + cx.port + " is " + cx.port_source + ": name another with -p" +
            (cx.port_source == "the window's saved port" ? " or save one with set-port" : "");
  Tell(*cx.err, text);
  return kExitCannotOpen;
}

// The serial component's message is its own ("Unable to read from port.
// (Win32 error 5: ...)"); the user is told the system's words alone.
std::string SystemCause(const std::exception& error) {
  const auto* device = dynamic_cast<const EDeviceError*>(&error);
  if (device == nullptr || !device->Cause()) return error.what();
  return device->Cause()->text;
}

// What to do after a line lost during a read of one's own.
constexpr const char* kReadAgain =
    "nothing was written: check the cable and the adapter, then read again";

// The line or the log failed in the middle of an operation (the story's
// lost, during its last step); next: what to do.
int LineLost(const Outcome& story, const CliContext& cx, const std::string& next,
             bool writeCutShort = false) {
  const std::string command =
      story.steps.empty() ? std::string("the open") : StepName(story.steps.back().step);
  std::string text;
  bool logFailed = false;
  try {
    std::rethrow_exception(story.lost);
  } catch (const EInOutError& error) {
    logFailed = true;
    // The line itself is fine: only a write cut short needs a word more.
    text = "log.txt could not be written during " + command + ": " + error.what();
    if (writeCutShort) text += "\n" + next;
  } catch (const std::exception& error) {
    text = "the line to " + cx.port + " was lost during " + command + " (" + SystemCause(error) +
           ")\n" + next;
  }
  Tell(*cx.err, text);
  return logFailed ? kExitCannotWrite : kExitNotAccepted;
}

// "no answer" only when nothing came; otherwise what came instead.
std::string NoAnswerText(const Outcome& probe, const std::string& port) {
  const StepOutcome* step = probe.steps.empty() ? nullptr : &probe.steps.front();
  if (step != nullptr && step->verdict == Verdict::kExtraAnswer)
    return "the probe " + std::string(kProbeCommand) + " on " + port +
           " was answered more than once (" + Quoted(step->came + step->after) +
           "), so the panel's answers cannot be told apart"
           "\ncheck that nothing else is wired to this line, then try again";
  if (step == nullptr || step->came.empty())
    return "no answer from the panel on " + port +
           "\ncheck that the panel is powered and its cable is in, try another port (-p),"
           "\nor let \"orvex-gsm-cli scan\" look on every port";
  // Something answers there, but not as the panel does.
  return "the probe " + std::string(kProbeCommand) + " on " + port +
         " was answered without \"OK\": " + Quoted(step->came) +
         "\nis the panel on this port? try another port (-p), or let \"orvex-gsm-cli scan\" look"
         " on every port";
}

// A read's failure: the probe before it answered twice, or the read's own.
PanelOutcome TellReadFailed(const Outcome& story, const CliContext& cx) {
  if (story.lost) return {LineLost(story, cx, kReadAgain), "line lost", true};
  const int fault = story.FirstFault();
  if (fault >= 0 && story.steps[fault].step.phase == Phase::kProbe) {
    Tell(*cx.err, NoAnswerText(story, cx.port));
    return {kExitNotAccepted, "probe answered twice"};
  }
  Tell(*cx.err, StoryLines(story, cx.port, StoryPart::kAll));
  Tell(*cx.err, "nothing was read: " + StoryAdvice(story, "read again"));
  return {kExitNotAccepted,
          "reply refused: " + (fault >= 0 ? StepName(story.steps[fault].step) : std::string())};
}

// Reads once, in order; 0 with the image, else the outcome after a message.
PanelOutcome ReadOnce(Link& link, const CliContext& cx, PanelImage& image, ReadOrder order) {
  if (cx.step) cx.step("reading");
  try {
    image = link.session.ReadImage(order);
    return {};
  } catch (const EOperationFailed& error) {
    return TellReadFailed(error.Story(), cx);
  }
}

void TellDone(const CliContext& cx, const std::string& text) {
  if (!cx.quiet) Tell(*cx.err, text);
}

}  // namespace

Link::Link(const CliContext& cx) {
  port.SetEndsAnswersEarly(cx.fast);
}

int StartLog(const CliContext& cx, const std::string& what) {
  if (!cx.debug) return kExitOk;
  // The first line proves the log takes lines before anything reaches the
  // panel: a trace that fails halfway would stop a write between two commands.
  try {
    WriteLog(Utf8ToCp1251(std::string(kProgramName) + " " + what + " " + cx.port), true, EmptyData);
    return kExitOk;
  } catch (const EInOutError& e) {
    std::error_code ec;
    std::string folder = std::filesystem::current_path(ec).string();
    if (ec) folder = "the current folder";
    Tell(*cx.err, "cannot write log.txt in " + folder + ": " + e.what() +
                      "\n-d keeps its log in the current folder: run the command from a folder "
                      "you can write\n(your home folder, for one), or leave out -d");
    return kExitCannotWrite;
  }
}

int Reach(Link& link, const CliContext& cx, bool quietly) {
  try {
    if (link.session.Probe(cx.port)) return kExitOk;
  } catch (const EOperationFailed& error) {
    if (quietly) throw;
    return LineLost(error.Story(), cx, "check the cable and the adapter, then try again");
  }
  if (!link.session.PortOpen()) return quietly ? kExitCannotOpen : CannotOpen(link, cx);
  if (!quietly) Tell(*cx.err, NoAnswerText(link.session.ProbeStory(), cx.port));
  return kExitNoAnswer;
}

void TellDifferences(const PanelImage& file, const PanelImage& panel, const std::string& what,
                     const CliContext& cx, const std::string& wanted) {
  const auto fields = ImageDifferences(file, panel);
  std::string text = what + " on " + cx.port + " differs in " + Joined(fields);
  for (const std::string& field : fields)
    text += "\n  " + field + ": " + wanted + " " + Quoted(SettingsFieldValue(file, field)) +
            ", panel " + Quoted(SettingsFieldValue(panel, field));
  Tell(*cx.err, text);
}

PanelOutcome ReadPanel(Link& link, const CliContext& cx, PanelImage& image) {
  if (PanelOutcome o = ReadOnce(link, cx, image, ReadOrder::kFirst); o.code != kExitOk) return o;
  if (!cx.verify) return {kExitOk, "read"};
  // The second read goes in another order: a fault tied to one command
  // cannot give the same wrong copy twice.
  PanelImage again;
  if (PanelOutcome o = ReadOnce(link, cx, again, ReadOrder::kSecond); o.code != kExitOk) return o;
  const auto fields = ImageDifferences(image, again);
  if (fields.empty()) return {kExitOk, "read twice, the same"};
  Tell(*cx.err, "a second read on " + cx.port + " differs in " + Joined(fields) +
                    "\nthe panel gave two copies that differ: read again; if it happens again, "
                    "check that nothing else is wired to the line");
  return {kExitDiffers, "a second read differs in " + Joined(fields)};
}

PanelOutcome WritePanel(Link& link, const CliContext& cx, const PanelImage& image,
                        const PanelImage* before) {
  const std::string half = before != nullptr
                               ? "the panel may hold a change half done: set the fields again"
                               : "the panel may hold a write half done: write the file again";
  if (cx.step) cx.step("writing");
  WriteOptions options;
  options.before = before;
  options.readBack = !cx.no_verify;
  options.keysLast = true;
  options.stop = [] { return Interrupted(); };
  options.beforeReadBack = [&] {
    if (cx.step) cx.step("reading");
  };
  const CheckedWrite result =
      WriteAndReadBack(link.session, image, WritePart::kWholePanel, options);
  const Outcome& story = result.story;

  std::string lost = "the write was sent but not read back: ";
  lost += before != nullptr ? "see what the panel holds with read, or set the fields again"
                            : "compare with diff FILE, or write the file again";
  if (result.Lost())
    return {LineLost(story, cx, result.LostAfterWrite() ? lost : half, !result.LostAfterWrite()),
            "line lost", true};
  if (result.interrupted) {
    // The command on the line was finished and its answer judged; what the
    // panel confirmed, and what it may not hold, field by field.
    std::vector<std::string> confirmed;
    std::vector<std::string> open;
    for (const StepOutcome& s : story.steps) {
      if (!s.step.IsWrite()) continue;
      (s.Taken() ? confirmed : open).push_back(StepName(s.step));
    }
    for (const Step& step : result.not_sent) open.push_back(StepName(step) + " (not sent)");
    Tell(*cx.err, "interrupted: nothing more was sent to the panel on " + cx.port +
                      "\nconfirmed by the panel: " +
                      (confirmed.empty() ? std::string("none") : Joined(confirmed)) +
                      "\nthe panel may not hold: " + Joined(open) +
                      "\nto finish the job, run again: " +
                      (cx.redo.empty() ? std::string("the same command") : cx.redo));
    return {kExitInterrupted, "interrupted", true};
  }

  // The writes not confirmed (and a probe answered twice), each with what
  // came, the one at fault first. A write nothing came to stopped the rest.
  std::vector<std::string> names;
  const StepOutcome* stopped = nullptr;
  bool doubt = false;
  for (const StepOutcome& s : story.steps) {
    if (s.Taken() || s.step.phase == Phase::kReadBack) continue;
    if (s.step.IsWrite() && s.verdict == Verdict::kNoAnswer) {
      stopped = &s;
      continue;
    }
    doubt = doubt || s.verdict == Verdict::kInDoubt || s.verdict == Verdict::kExtraAnswer;
    names.push_back(StepName(s.step));
  }
  PanelOutcome refused;
  std::string text;
  if (!names.empty()) {
    text = "not accepted by the panel on " + cx.port + ": " + Joined(names) + "\n" +
           StoryLines(story, cx.port, StoryPart::kWrites, true);
    refused = {kExitNotAccepted, "not confirmed: " + Joined(names)};
  }
  if (stopped != nullptr) {
    if (!text.empty()) text += "\n";
    text += "the panel on " + cx.port + " stopped answering at " + StepName(stopped->step) +
            ": nothing more was sent";
    refused = {kExitNotAccepted, "stopped answering at " + StepName(stopped->step)};
  }
  // What the panel holds now is told by the read-back, when one follows.
  if (!text.empty() && (stopped != nullptr || doubt || cx.no_verify)) text += "\n" + half;
  if (!text.empty()) Tell(*cx.err, text);
  if (stopped != nullptr) return refused;
  if (cx.no_verify) return refused.code != kExitOk ? refused : PanelOutcome{kExitOk, "written"};
  if (!result.read_back) {
    // Each refusal once: a read-back leaves out the fields whose write was
    // refused and told already.
    Outcome readBack = story;
    for (StepOutcome& r : readBack.steps) {
      if (r.step.phase != Phase::kReadBack) continue;
      for (const StepOutcome& w : story.steps)
        if (w.step.IsWrite() && !w.Taken() && w.step.subject == r.step.subject &&
            w.step.index == r.step.index && r.verdict == w.verdict && r.came == w.came)
          r.verdict = Verdict::kTaken;
    }
    std::string lines = StoryLines(readBack, cx.port, StoryPart::kReadBack);
    std::string told;
    for (size_t at = 0; at < lines.size();) {
      const size_t end = std::min(lines.find('\n', at), lines.size());
      told += "reading back: " + lines.substr(at, end - at) + "\n";
      at = end + 1;
    }
    Tell(*cx.err, told + lost);
    return refused.code != kExitOk ? refused : PanelOutcome{kExitNotAccepted, "reply refused"};
  }
  // A refused write still says in which state it left the panel.
  if (!result.differences.empty())
    TellDifferences(image, result.back, "the panel read back", cx,
                    before != nullptr ? "set" : "file");
  if (refused.code != kExitOk) return refused;
  if (!result.differences.empty())
    return {kExitDiffers, "differs in " + Joined(result.differences)};
  return {kExitOk, "verified"};
}

int ProbeCommand(const CliContext& cx) {
  if (const int code = StartLog(cx, "probe")) return code;
  Link link(cx);
  if (const int code = Reach(link, cx)) return code;
  try {
    // A probe answered twice is no panel that can be read.
    if (!link.session.EndProbe()) {
      Tell(*cx.err, NoAnswerText(link.session.ProbeStory(), cx.port));
      return kExitNotAccepted;
    }
  } catch (const EOperationFailed& error) {
    return LineLost(error.Story(), cx, "check the cable and the adapter, then try again");
  }
  *cx.out << "found on " << cx.port << "\n";
  return kExitOk;
}

int ScanCommand(const CliContext& cx) {
  if (const int code = StartLog(cx, "scan")) return code;
  Link link(cx);
  std::vector<std::string> listed = StandardPortList();
  const std::vector<std::string> adapters = AdapterPorts();
  listed.insert(listed.end(), adapters.begin(), adapters.end());
  std::vector<OpenFailure> refusals;
  std::vector<std::string> answered;  // ports where something came, but no "OK"
  std::vector<std::string> scanned;
  std::vector<std::string> asked;   // opened and probed, each once
  std::vector<std::string> absent;  // no such device now, each once
  bool opened = false;              // a port that was asked, whether it answered or not
  for (const std::string& candidate : ScanOrder(cx.port, listed)) {
    if (link.session.Probe(candidate) && link.session.EndProbe()) {
      *cx.out << candidate << "\n";
      return kExitOk;
    }
    opened = opened || link.session.LastOpenFailure().kind == OpenFailureKind::kNone;
    NoteRemediableRefusal(refusals, link.session.LastOpenFailure());
    const Outcome& probe = link.session.ProbeStory();
    const std::string came = probe.steps.empty() ? std::string() : probe.steps.front().came;
    const bool again = std::find(scanned.begin(), scanned.end(), candidate) != scanned.end();
    scanned.push_back(candidate);
    const OpenFailureKind kind = link.session.LastOpenFailure().kind;
    if (!again && kind == OpenFailureKind::kNone) asked.push_back(candidate);
    if (!again && kind == OpenFailureKind::kNoDevice) absent.push_back(candidate);
    if (!came.empty() && !again)
      answered.push_back("the probe " + std::string(kProbeCommand) + " on " + candidate +
                         " was answered without \"OK\": " + Quoted(came));
  }
  // A port the user could reach with a remedy is named, once the scan failed:
  // one line each, and each remedy once (eight ports of one group share it).
  std::vector<std::string> lines;
  std::vector<std::string> hints;
  std::string refused;
  for (const OpenFailure& refusal : refusals) {
    const OpenFailureWords words = OpenFailureText(refusal.device, refusal);
    lines.push_back(words.cause);
    refused += (refused.empty() ? "" : ", ") + refusal.device;
    if (!words.hint.empty() && std::find(hints.begin(), hints.end(), words.hint) == hints.end())
      hints.push_back(words.hint);
  }
  // No panel was asked anywhere: every port there refuses this user, and
  // the way in is the first thing to read.
  const bool onlyPermission =
      !opened && !refusals.empty() &&
      std::all_of(refusals.begin(), refusals.end(), [](const OpenFailure& refusal) {
        return refusal.kind == OpenFailureKind::kPermission;
      });
  if (onlyPermission) {
    std::string text = "no port can be opened by this user: permission denied on " + refused;
    for (const std::string& hint : hints) text += "\n" + hint;
    Tell(*cx.err, text + "\nthen scan again: no panel was asked yet");
    return kExitCannotOpen;
  }
  // Each port once: where a panel was asked, what is not there, what was
  // refused; then what to do.
  std::string text = asked.empty() ? std::string("no port could be asked for the panel")
                                   : "no answer from the panel on " + Joined(asked) +
                                         (asked.size() == 1 ? ", the one port that could be asked"
                                                            : ", the ports that could be asked");
  if (!absent.empty()) text += "\nnot present: " + Joined(absent);
  for (const std::string& line : answered) text += "\n" + line;
  for (const std::string& line : lines) text += "\n" + line;
  for (const std::string& hint : hints) text += "\n" + hint;
  text += "\ncheck that the panel is powered and its cable is in, then scan again (" +
          std::string(kProgramName) + " ports lists the ports present)";
  Tell(*cx.err, text);
  return kExitNoAnswer;
}

int ReadCommand(const CliContext& cx) {
  if (cx.repeat) return RepeatReadCommand(cx);
  if (const int code = StartLog(cx, "read")) return code;
  Link link(cx);
  if (const int code = Reach(link, cx)) return code;
  // Ctrl-C lets the read end, then nothing is kept of it.
  const InterruptScope interrupt;
  PanelImage image;
  const int code = ReadPanel(link, cx, image).code;
  if (Interrupted()) {
    Tell(*cx.err, "interrupted: nothing was read" +
                      (cx.output.empty() ? std::string() : ", and " + cx.output + " is as it was"));
    return kExitInterrupted;
  }
  if (code != kExitOk) return code;
  if (const int emitted = Emit(BackupText(image, cx), cx)) return emitted;
  if (!cx.output.empty())
    TellDone(cx, "read the panel on " + cx.port + " into " + cx.output +
                     (cx.verify ? ", read twice and the same" : ", every reply checked"));
  return kExitOk;
}

int WriteCommand(const CliContext& cx, const std::string& file) {
  PanelImage image;
  if (const int code = LoadSettingsFile(file, cx, image)) return code;
  if (cx.repeat) return RepeatWriteCommand(cx, file);
  if (const int code = StartLog(cx, "write")) return code;
  Link link(cx);
  if (const int code = Reach(link, cx)) return code;
  // Ctrl-C from here on stops between two commands and says what was left.
  const InterruptScope interrupt;
  CliContext writing = cx;
  writing.redo = std::string(kProgramName) + " -p " + cx.port + " write " + file;
  const PanelOutcome outcome = WritePanel(link, writing, image);
  if (outcome.code != kExitOk) return outcome.code;
  const std::string shown = file == "-" ? "standard input" : file;
  TellDone(cx, "wrote " + shown + " to the panel on " + cx.port +
                   (cx.no_verify ? " (not read back)" : " and read it back: the same"));
  return kExitOk;
}

int DiffCommand(const CliContext& cx, const std::string& file) {
  PanelImage wanted;
  if (const int code = LoadSettingsFile(file, cx, wanted)) return code;
  if (const int code = StartLog(cx, "diff")) return code;
  Link link(cx);
  if (const int code = Reach(link, cx)) return code;
  PanelImage panel;
  if (const int code = ReadPanel(link, cx, panel).code) return code;
  const std::string shown = file == "-" ? "standard input" : file;
  if (!ImageDifferences(wanted, panel).empty()) {
    TellDifferences(wanted, panel, "the panel", cx);
    return kExitDiffers;
  }
  TellDone(cx, "the panel on " + cx.port + " holds what " + shown + " holds");
  return kExitOk;
}

int PresentedKey(Link& link, const CliContext& cx, std::string& key) {
  PresentedKeyRead read;
  try {
    read = ReadPresentedKeyExactly(link.session);
  } catch (const EOperationFailed& error) {
    return LineLost(error.Story(), cx, "check the cable and the adapter, then read the key again");
  }
  const StepOutcome& step = read.story.steps.back();
  switch (read.outcome) {
    case PresentedKey::kKey:
      key = read.key;
      return kExitOk;
    case PresentedKey::kNoKey:
      Tell(*cx.err,
           "no key was presented to the reader on " + cx.port + " within " +
               std::to_string(kPresentedKeyBudget / 1000) + " s" +
               (step.came.empty() ? "" : " (the panel answered " + Quoted(step.came) + ")"));
      return kExitNotAccepted;
    case PresentedKey::kNotAKey:
      break;
  }
  Tell(*cx.err, StoryLines(read.story, cx.port, StoryPart::kAll) +
                    "\nhold the key to the reader again and read it again");
  return kExitNotAccepted;
}

int ReadKeyCommand(const CliContext& cx) {
  if (const int code = StartLog(cx, "read-key")) return code;
  Link link(cx);
  // The probe first: five silent seconds would not tell a panel that saw no
  // key from no panel at all.
  if (const int code = Reach(link, cx)) return code;
  std::string key;
  if (const int code = PresentedKey(link, cx, key)) return code;
  *cx.out << Cp1251ToUtf8(key) << "\n";
  return kExitOk;
}
