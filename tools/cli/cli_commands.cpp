#include "tools/cli/cli_commands.h"

#include <exception>
#include <iostream>

#include "panel/commands.h"
#include "panel/encodings.h"
#include "panel/panel_errors.h"
#include "panel/panel_port.h"
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

int CannotOpen(Link& link, const CliContext& cx) {
  Tell(*cx.err, DescribeOpenFailure(cx.port, link.session.LastOpenFailure()));
  return kExitCannotOpen;
}

// The serial component's message is its own ("Unable to read from port.
// (Win32 error 5: ...)"); the user is told the system's words alone.
std::string SystemCause(const std::exception& error) {
  const std::string text = error.what();
  const size_t at = text.find("(Win32 error ");
  if (at == std::string::npos) return text;
  const size_t colon = text.find(": ", at);
  const size_t end = text.rfind(')');
  if (colon == std::string::npos || end == std::string::npos || end < colon) return text;
  return text.substr(colon + 2, end - colon - 2);
}

// The line or the log failed in the middle of an exchange.
int LineLost(const std::exception& error, Link& link, const CliContext& cx, bool writing) {
  // The command without its data, as the other messages name it.
  const std::string& sent = link.session.LastCommand();
  const std::string command = sent.substr(0, sent.starts_with("+s") ? 2 : 4);
  std::string text;
  if (dynamic_cast<const EInOutError*>(&error) != nullptr)
    text = "log.txt could not be written during " + command + ": " + error.what();
  else
    text =
        "the line to " + cx.port + " was lost during " + command + " (" + SystemCause(error) + ")";
  if (writing) text += "\nthe panel may hold a write half done: write the file again";
  Tell(*cx.err, text);
  return kExitNotAccepted;
}

void TellRefused(const EPanelReadError& error, const CliContext& cx) {
  for (const RefusedReply& r : error.Refused())
    Tell(*cx.err, r.command + " on " + cx.port + " " + r.reason +
                      (r.reply.empty() ? "" : ": " + Quoted(r.reply)));
}

// Reads once; 0 with the image, else the outcome after a message.
PanelOutcome ReadOnce(Link& link, const CliContext& cx, PanelImage& image) {
  if (cx.step) cx.step("reading");
  try {
    image = link.session.ReadImage(link.Heard());
    return {};
  } catch (const EPanelReadError& error) {
    TellRefused(error, cx);
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

HeardLookup Link::Heard() {
  return [this](const std::string& command) { return port.Unaccepted(command); };
}

int StartLog(const CliContext& cx, const std::string& what) {
  if (!cx.debug) return kExitOk;
  // The first line proves the log takes lines before anything reaches the
  // panel: a trace that fails halfway would stop a write between two commands.
  try {
    WriteLog(Utf8ToCp1251(std::string(kProgramName) + " " + what + " " + cx.port), true, EmptyData);
    return kExitOk;
  } catch (const EInOutError& e) {
    Tell(*cx.err, std::string("cannot write log.txt: ") + e.what());
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
    return LineLost(error, link, cx, false);
  }
  if (!link.session.PortOpen()) return quietly ? kExitCannotOpen : CannotOpen(link, cx);
  if (!quietly) Tell(*cx.err, "no answer from the panel on " + cx.port);
  return kExitNoAnswer;
}

void TellDifferences(const PanelImage& file, const PanelImage& panel, const std::string& what,
                     const CliContext& cx) {
  const auto fields = ImageDifferences(file, panel);
  std::string text = what + " on " + cx.port + " differs in " + Joined(fields);
  for (const std::string& field : fields)
    text += "\n  " + field + ": file " + Quoted(SettingsFieldValue(file, field)) + ", panel " +
            Quoted(SettingsFieldValue(panel, field));
  Tell(*cx.err, text);
}

PanelOutcome ReadPanel(Link& link, const CliContext& cx, PanelImage& image) {
  try {
    if (PanelOutcome o = ReadOnce(link, cx, image); o.code != kExitOk) return o;
    if (!cx.verify) return {kExitOk, "read"};
    PanelImage again;
    if (PanelOutcome o = ReadOnce(link, cx, again); o.code != kExitOk) return o;
    const auto fields = ImageDifferences(image, again);
    if (fields.empty()) return {kExitOk, "read twice, the same"};
    Tell(*cx.err, "a second read on " + cx.port + " differs in " + Joined(fields));
    return {kExitDiffers, "a second read differs in " + Joined(fields)};
  } catch (const std::exception& error) {
    return {LineLost(error, link, cx, false), "line lost"};
  }
}

PanelOutcome WritePanel(Link& link, const CliContext& cx, const PanelImage& image) {
  PanelOutcome refused;
  if (cx.step) cx.step("writing");
  try {
    link.session.WriteImage(image);
  } catch (const EPanelWriteError& error) {
    std::string text = "not accepted by the panel on " + cx.port + ": " + Joined(error.Commands());
    for (const std::string& command : error.Commands())
      if (const std::string came = link.port.Unaccepted(command); !came.empty())
        text += "\n" + command + " was answered " + Quoted(came);
    Tell(*cx.err, text);
    refused = {kExitNotAccepted, "not confirmed: " + Joined(error.Commands())};
  } catch (const std::exception& error) {
    return {LineLost(error, link, cx, true), "line lost"};
  }
  if (cx.no_verify) return refused.code != kExitOk ? refused : PanelOutcome{kExitOk, "written"};
  // The read-back's commands begin as the writes' do: what came for those
  // must not be taken for the read-back's.
  link.port.ForgetUnaccepted();
  PanelImage back;
  CliContext once = cx;
  once.verify = false;
  if (PanelOutcome o = ReadPanel(link, once, back); o.code != kExitOk)
    return refused.code != kExitOk ? refused : o;
  const auto fields = ImageDifferences(image, back);
  // A refused write still says in which state it left the panel.
  if (!fields.empty()) TellDifferences(image, back, "the panel read back", cx);
  if (refused.code != kExitOk) return refused;
  if (!fields.empty()) return {kExitDiffers, "differs in " + Joined(fields)};
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
  for (const std::string& candidate : ScanOrder(cx.port, listed)) {
    if (link.session.Probe(candidate)) {
      *cx.out << candidate << "\n";
      return kExitOk;
    }
    NoteRemediableRefusal(refusals, link.session.LastOpenFailure());
  }
  // A port the user could reach with a remedy is named, once the scan failed.
  std::string text =
      "no answer from the panel on " + cx.port +
      (adapters.empty() ? " nor on COM1 to COM8" : ", COM1 to COM8 nor on the adapters found");
  for (const OpenFailure& refusal : refusals) {
    text += '\n';
    text += DescribeOpenFailure(refusal.device, refusal);
  }
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

int ReadKeyCommand(const CliContext& cx) {
  if (const int code = StartLog(cx, "read-key")) return code;
  Link link(cx);
  OpenPort(link.port.Comm1(), cx.port);
  if (!link.session.PortOpen()) return CannotOpen(link, cx);
  const std::string command(kPresentedKeyCommand);
  std::string reply;
  std::string more;
  try {
    link.session.Sender()(command, kCommandAttempts, kPresentedKeyBudget, reply);
    if (!reply.empty()) more = link.session.AfterLastAnswer();
  } catch (const std::exception& error) {
    return LineLost(error, link, cx, false);
  }
  if (reply.empty()) {
    const std::string came = link.port.Unaccepted(command);
    Tell(*cx.err, "no key was presented to the reader on " + cx.port + " within " +
                      std::to_string(kPresentedKeyBudget / 1000) + " s" +
                      (came.empty() ? "" : " (the panel answered " + Quoted(came) + ")"));
    return kExitNotAccepted;
  }
  std::string fault = ReplyFault(reply, 'k');
  if (fault.empty() && !more.empty()) {
    fault = "was followed by more than its answer";
    reply = more;
  }
  if (!fault.empty()) {
    Tell(*cx.err, command + " on " + cx.port + " " + fault + ": " + Quoted(reply));
    return kExitNotAccepted;
  }
  *cx.out << Cp1251ToUtf8(ReverseKeyBytes(ExtractReply(reply))) << "\n";
  return kExitOk;
}
