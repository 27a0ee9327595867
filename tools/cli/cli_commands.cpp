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
#include "tools/cli/cli_panel.h"
#include "tools/cli/cli_ports.h"
#include "tools/cli/exit_codes.h"

namespace {

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// Appended piece by piece: mingw's GCC 12 misreads "..." + std::string&& as
// an overlapping copy (-Wrestrict).
std::string Quoted(const std::string& bytes) {
  std::string text = "\"";
  text += EscapedBytes(bytes);
  text += '"';
  return text;
}

// A command as the user knows it, the field beside the command: "number3
// (+H03)", "key2 (+T02)", "the dial and day flags (+s)".
std::string FieldCommand(const std::string& command) {
  const std::vector<PanelField> fields = FieldsOfCommand(command);
  const std::string name = CommandName(command);
  if (fields.size() == 1) return FieldName(fields.front()) + " (" + name + ")";
  if (!fields.empty()) return "the dial and day flags (" + name + ")";
  if (name == kPresentedKeyCommand) return "the presented key (" + name + ")";
  return command;
}

// What was wrong with a reply, in the tool's words ("got a reply that is not
// a key (16 hexadecimal digits)").
std::string ProblemText(ReplyProblem problem, ReplyShape shape) {
  switch (problem) {
    case ReplyProblem::kNone:
      return {};
    case ReplyProblem::kNotAnswered:
      return "was not answered";
    case ReplyProblem::kAnsweredWithout:
    case ReplyProblem::kRefused:
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

int CannotOpen(Link& link, const CliContext& cx) {
  Tell(*cx.err, DescribeOpenFailure(cx.port, link.session.LastOpenFailure()));
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

// The line or the log failed in the middle of an exchange; next: what to do.
int LineLost(const std::exception& error, Link& link, const CliContext& cx, const std::string& next,
             bool writeCutShort = false) {
  // The command without its data, as the other messages name it.
  const std::string command = FieldCommand(CommandName(link.session.LastCommand()));
  std::string text;
  const bool logFailed = dynamic_cast<const EInOutError*>(&error) != nullptr;
  if (logFailed) {
    // The line itself is fine: only a write cut short needs a word more.
    text = "log.txt could not be written during " + command + ": " + error.what();
    if (writeCutShort) text += "\n" + next;
  } else {
    text = "the line to " + cx.port + " was lost during " + command + " (" + SystemCause(error) +
           ")\n" + next;
  }
  Tell(*cx.err, text);
  return logFailed ? kExitCannotWrite : kExitNotAccepted;
}

// "no answer" only when nothing came; otherwise what came instead.
std::string NoAnswerText(Link& link, const std::string& port) {
  const std::string& more = link.session.ProbeFollowedBy();
  if (!more.empty())
    return "the probe " + std::string(kProbeCommand) + " on " + port +
           " was answered more than once (then " + Quoted(more) +
           "), so the panel's answers cannot be told apart"
           "\ncheck that nothing else is wired to this line, then try again";
  const std::string came = link.port.Unaccepted(std::string(kProbeCommand));
  if (came.empty())
    return "no answer from the panel on " + port +
           "\ncheck that the panel is powered and its cable is in, try another port (-p),"
           "\nor let \"orvex-gsm-cli scan\" look on every port";
  // Something answers there, but not as the panel does.
  return "the probe " + std::string(kProbeCommand) + " on " + port +
         " was answered without \"OK\": " + Quoted(came) +
         "\nis the panel on this port? try another port (-p), or let \"orvex-gsm-cli scan\" look"
         " on every port";
}

// Each refused reply once: a read-back says it is one, and leaves out the
// commands whose write was refused and told already.
void TellRefused(const EPanelReadError& error, const CliContext& cx, const ReadBack* readBack) {
  for (const RefusedReply& r : error.Refused()) {
    if (readBack != nullptr &&
        std::find(readBack->told.begin(), readBack->told.end(), r.command) != readBack->told.end())
      continue;
    Tell(*cx.err, std::string(readBack != nullptr ? "reading back: " : "") +
                      FieldCommand(r.command) + " on " + cx.port + " " +
                      ProblemText(r.problem, r.shape) +
                      (r.reply.empty() ? "" : ": " + Quoted(r.reply)));
  }
  if (readBack != nullptr)
    Tell(*cx.err, readBack->lost);
  else
    Tell(*cx.err,
         "nothing was read: check the cable and that nothing else is wired to the line, then "
         "read again (the exact replies are in log.txt with -d)");
}

// Reads once; 0 with the image, else the outcome after a message.
PanelOutcome ReadOnce(Link& link, const CliContext& cx, PanelImage& image,
                      const ReadBack* readBack) {
  if (cx.step) cx.step("reading");
  try {
    image = link.session.ReadImage();
    return {};
  } catch (const EPanelReadError& error) {
    TellRefused(error, cx, readBack);
    return {kExitNotAccepted, "reply refused: " + error.Refused().front().command};
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
  // What came for commands before this panel (a bench loop probes for hours).
  link.port.ForgetUnaccepted();
  try {
    if (link.session.Probe(cx.port)) return kExitOk;
  } catch (const std::exception& error) {
    if (quietly) throw;
    return LineLost(error, link, cx, "check the cable and the adapter, then try again");
  }
  if (!link.session.PortOpen()) return quietly ? kExitCannotOpen : CannotOpen(link, cx);
  if (!quietly) Tell(*cx.err, NoAnswerText(link, cx.port));
  // Answered, but more than once: not the same as no answer.
  return link.session.ProbeFollowedBy().empty() ? kExitNoAnswer : kExitNotAccepted;
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

PanelOutcome ReadPanel(Link& link, const CliContext& cx, PanelImage& image,
                       const ReadBack* readBack) {
  try {
    if (PanelOutcome o = ReadOnce(link, cx, image, readBack); o.code != kExitOk) return o;
    if (!cx.verify) return {kExitOk, "read"};
    PanelImage again;
    if (PanelOutcome o = ReadOnce(link, cx, again, readBack); o.code != kExitOk) return o;
    const auto fields = ImageDifferences(image, again);
    if (fields.empty()) return {kExitOk, "read twice, the same"};
    Tell(*cx.err, "a second read on " + cx.port + " differs in " + Joined(fields));
    return {kExitDiffers, "a second read differs in " + Joined(fields)};
  } catch (const std::exception& error) {
    return {LineLost(error, link, cx, readBack != nullptr ? readBack->lost : kReadAgain),
            "line lost", true};
  }
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
  options.beforeReadBack = [&] {
    // The read-back's commands begin as the writes' do: what came for those
    // must not be taken for the read-back's.
    link.port.ForgetUnaccepted();
    if (cx.step) cx.step("reading");
  };
  const CheckedWrite result =
      WriteAndReadBack(link.session, image, WritePart::kWholePanel, options);

  PanelOutcome refused;
  if (!result.unconfirmed.empty()) {
    std::vector<std::string> fields;
    for (const std::string& command : result.unconfirmed) fields.push_back(FieldCommand(command));
    std::string text = "not accepted by the panel on " + cx.port + ": " + Joined(fields);
    for (size_t i = 0; i < result.unconfirmed.size(); ++i) {
      const std::string& command = result.unconfirmed[i];
      // What came instead of a write's "OK" alone: without "OK", or with more.
      std::string came = result.unconfirmed_replies[i];
      if (came.empty()) came = link.port.Unaccepted(command);
      if (!came.empty()) text += "\n" + FieldCommand(command) + " was answered " + Quoted(came);
    }
    if (!result.doubt_from.empty())
      text += "\nthe panel answered more often than it was asked, so no write from " +
              FieldCommand(result.doubt_from) + " on can be taken as confirmed\n" + half;
    Tell(*cx.err, text);
    refused = {kExitNotAccepted, "not confirmed: " + Joined(result.unconfirmed)};
  }
  if (!result.stopped_at.empty()) {
    Tell(*cx.err, "the panel on " + cx.port + " stopped answering at " +
                      FieldCommand(result.stopped_at) + ": nothing more was sent\n" + half);
    return {kExitNotAccepted, "stopped answering at " + result.stopped_at};
  }
  std::string lost = "the write was sent but not read back: ";
  lost += before != nullptr ? "see what the panel holds with read, or set the fields again"
                            : "compare with diff FILE, or write the file again";
  if (result.lost) {
    try {
      std::rethrow_exception(result.lost);
    } catch (const std::exception& error) {
      return {LineLost(error, link, cx, result.lost_after_write ? lost : half,
                       !result.lost_after_write),
              "line lost", true};
    }
  }
  if (cx.no_verify) return refused.code != kExitOk ? refused : PanelOutcome{kExitOk, "written"};
  if (!result.read_refused.empty()) {
    const ReadBack readBack{result.unconfirmed, lost};
    TellRefused(EPanelReadError(result.read_refused), cx, &readBack);
    return refused.code != kExitOk
               ? refused
               : PanelOutcome{kExitNotAccepted,
                              "reply refused: " + result.read_refused.front().command};
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
  bool opened = false;  // a port that was asked, whether it answered or not
  for (const std::string& candidate : ScanOrder(cx.port, listed)) {
    link.port.ForgetUnaccepted();
    if (link.session.Probe(candidate)) {
      *cx.out << candidate << "\n";
      return kExitOk;
    }
    opened = opened || link.session.LastOpenFailure().kind == OpenFailureKind::kNone;
    NoteRemediableRefusal(refusals, link.session.LastOpenFailure());
    const std::string came = link.port.Unaccepted(std::string(kProbeCommand));
    const bool again = std::find(scanned.begin(), scanned.end(), candidate) != scanned.end();
    scanned.push_back(candidate);
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
  std::string text = "no answer from the panel on " + cx.port +
                     (adapters.empty() ? " nor on " + StandardPortRange()
                                       : ", " + StandardPortRange() + " nor on the adapters found");
  for (const std::string& line : answered) text += "\n" + line;
  for (const std::string& line : lines) text += "\n" + line;
  for (const std::string& hint : hints) text += "\n" + hint;
  Tell(*cx.err, text);
  return kExitNoAnswer;
}

int ReadCommand(const CliContext& cx) {
  if (cx.repeat) return RepeatReadCommand(cx);
  if (const int code = StartLog(cx, "read")) return code;
  Link link(cx);
  if (const int code = Reach(link, cx)) return code;
  PanelImage image;
  if (const int code = ReadPanel(link, cx, image).code) return code;
  if (const int code = Emit(BackupText(image, cx), cx)) return code;
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
  const PanelOutcome outcome = WritePanel(link, cx, image);
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
  const std::string command(kPresentedKeyCommand);
  PresentedKeyRead read;
  try {
    read = ReadPresentedKeyExactly(link.session);
  } catch (const std::exception& error) {
    return LineLost(error, link, cx, "check the cable and the adapter, then read the key again");
  }
  switch (read.outcome) {
    case PresentedKey::kKey:
      key = read.key;
      return kExitOk;
    case PresentedKey::kNoKey: {
      const std::string came = link.port.Unaccepted(command);
      Tell(*cx.err, "no key was presented to the reader on " + cx.port + " within " +
                        std::to_string(kPresentedKeyBudget / 1000) + " s" +
                        (came.empty() ? "" : " (the panel answered " + Quoted(came) + ")"));
      return kExitNotAccepted;
    }
    case PresentedKey::kNotAKey:
      break;
  }
  Tell(*cx.err, command + " on " + cx.port + " " + ProblemText(read.problem, ReplyShape::kKey) +
                    ": " + Quoted(read.reply) +
                    "\nhold the key to the reader again and read it again");
  return kExitNotAccepted;
}

int ReadKeyCommand(const CliContext& cx) {
  if (const int code = StartLog(cx, "read-key")) return code;
  Link link(cx);
  ReopenForPanel(link.port.Comm1(), cx.port);
  if (!link.session.PortOpen()) return CannotOpen(link, cx);
  std::string key;
  if (const int code = PresentedKey(link, cx, key)) return code;
  *cx.out << Cp1251ToUtf8(key) << "\n";
  return kExitOk;
}
