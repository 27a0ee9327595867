#include "tools/cli/cli_commands.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "panel/panel_errors.h"
#include "panel/panel_port.h"
#include "panel/panel_session.h"
#include "panel/plain_pages.h"
#include "support/text_codec.h"
#include "tools/cli/cli.h"
#include "tools/cli/cli_ports.h"
#include "tools/cli/settings_file.h"

namespace {

std::string SystemText(int code) {
  return std::strerror(code);
}

// "2026-12-07T14:05:09+01:00": the moment of the read, for the file's header.
// The offset is worked out from the two calendars, since strftime's %z gives
// the zone's name on Windows.
std::string IsoTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  std::tm utc{};
#ifdef _WIN32
  localtime_s(&local, &now);
  gmtime_s(&utc, &now);
#else
  localtime_r(&now, &local);
  gmtime_r(&now, &utc);
#endif
  int days = local.tm_yday - utc.tm_yday;
  if (local.tm_year != utc.tm_year) days = local.tm_year > utc.tm_year ? 1 : -1;
  const int minutes = days * 1440 + (local.tm_hour - utc.tm_hour) * 60 + local.tm_min - utc.tm_min;
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                minutes < 0 ? '-' : '+', std::abs(minutes) / 60, std::abs(minutes) % 60);
  return text;
}

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// With --debug the log must be writable before anything reaches the panel:
// a trace that fails halfway would stop a write between two commands.
bool LogWritable(const CliContext& cx) {
  if (!cx.debug) return true;
  std::FILE* log = std::fopen("log.txt", "ab");
  if (log != nullptr && std::fclose(log) == 0) return true;
  *cx.err << "orvex-gsm-cli: cannot write log.txt: " << SystemText(errno) << "\n";
  return false;
}

int CannotOpen(PanelSession& session, const CliContext& cx) {
  *cx.err << "orvex-gsm-cli: " << DescribeOpenFailure(cx.port, session.LastOpenFailure());
  return kExitCannotOpen;
}

// Opens the port and probes; the exit code when the panel cannot be talked
// to, 0 when it answered.
int Reach(PanelSession& session, const CliContext& cx) {
  if (!LogWritable(cx)) return kExitCannotWrite;
  if (session.Probe(cx.port)) return kExitOk;
  if (!session.PortOpen()) return CannotOpen(session, cx);
  *cx.err << "orvex-gsm-cli: no answer from the panel on " << cx.port << "\n";
  return kExitNoAnswer;
}

int ReportRefused(const EPanelReadError& error, const CliContext& cx) {
  for (const RefusedReply& r : error.Refused()) {
    *cx.err << "orvex-gsm-cli: " << r.command << " on " << cx.port << " " << r.reason;
    if (!r.reply.empty()) *cx.err << ": \"" << EscapedBytes(r.reply) << "\"";
    *cx.err << "\n";
  }
  return kExitNotAccepted;
}

int ReportUnconfirmed(const EPanelWriteError& error, const CliContext& cx) {
  *cx.err << "orvex-gsm-cli: not accepted by the panel on " << cx.port << ": "
          << Joined(error.Commands()) << "\n";
  return kExitNotAccepted;
}

// Reads the panel; the exit code of a failure, 0 with the image otherwise.
int ReadImage(PanelSession& session, const CliContext& cx, PanelImage& image) {
  try {
    image = session.ReadImage();
    return kExitOk;
  } catch (const EPanelReadError& error) {
    return ReportRefused(error, cx);
  }
}

int ReportDifferences(const std::vector<std::string>& fields, const std::string& what,
                      const CliContext& cx) {
  *cx.err << "orvex-gsm-cli: " << what << " on " << cx.port << " differs in " << Joined(fields)
          << "\n";
  return kExitDiffers;
}

// The file appears whole or not at all: a backup cut short by a full disk
// must not replace the one before it.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& reason) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (!file) {
      reason = SystemText(errno);
      return false;
    }
    file << text;
    file.flush();
    if (!file) {
      reason = SystemText(errno);
      file.close();
      std::remove(temporary.c_str());
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    reason = ec.message();
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

int Emit(const std::string& text, const CliContext& cx) {
  if (cx.output.empty()) {
    *cx.out << text;
    cx.out->flush();
    if (*cx.out) return kExitOk;
    *cx.err << "orvex-gsm-cli: cannot write the settings to standard output\n";
    return kExitCannotWrite;
  }
  std::string reason;
  if (WriteFileAtomically(cx.output, text, reason)) return kExitOk;
  *cx.err << "orvex-gsm-cli: cannot write " << cx.output << ": " << reason << "\n";
  return kExitCannotWrite;
}

// The settings file, checked whole; nothing is sent for a file refused here.
int LoadSettingsFile(const std::string& file, const CliContext& cx, PanelImage& image) {
  const std::string shown = file == "-" ? "standard input" : file;
  std::string text;
  std::istream* stream = cx.in;
  std::ifstream opened;
  if (file != "-") {
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec)) {
      *cx.err << "orvex-gsm-cli: " << shown << " is a directory, not a settings file\n";
      return kExitUsage;
    }
    opened.open(file, std::ios::binary);
    if (!opened) {
      *cx.err << "orvex-gsm-cli: cannot read " << shown << ": " << SystemText(errno) << "\n";
      return kExitUsage;
    }
    stream = &opened;
  }
  // Endless input (a device, a pipe that never closes) stops at the limit.
  char chunk[4096];
  while (text.size() <= kSettingsFileLimit && stream->read(chunk, sizeof chunk).gcount() > 0)
    text.append(chunk, static_cast<size_t>(stream->gcount()));
  if (text.size() > kSettingsFileLimit) {
    *cx.err << "orvex-gsm-cli: " << shown << " is larger than 1 MiB: no settings file\n";
    return kExitUsage;
  }
  if (stream->bad()) {
    *cx.err << "orvex-gsm-cli: cannot read " << shown << "\n";
    return kExitUsage;
  }
  try {
    image = ParseSettingsFile(text);
  } catch (const SettingsFileError& e) {
    *cx.err << "orvex-gsm-cli: " << shown << ": " << e.what() << "\n";
    return kExitUsage;
  }
  return kExitOk;
}

}  // namespace

int ProbeCommand(const CliContext& cx) {
  StandalonePort port;
  PanelSession session(port);
  if (const int code = Reach(session, cx)) return code;
  *cx.out << "found on " << cx.port << "\n";
  return kExitOk;
}

int ScanCommand(const CliContext& cx) {
  if (!LogWritable(cx)) return kExitCannotWrite;
  StandalonePort port;
  PanelSession session(port);
  std::vector<std::string> listed = StandardPortList();
  const std::vector<std::string> adapters = AdapterPorts();
  listed.insert(listed.end(), adapters.begin(), adapters.end());
  std::string refused;
  for (const std::string& candidate : ScanOrder(cx.port, listed)) {
    if (session.Probe(candidate)) {
      *cx.out << candidate << "\n";
      return kExitOk;
    }
    // A port the user could reach with a remedy is named, once the scan failed.
    const OpenFailureKind kind = session.LastOpenFailure().kind;
    if (kind == OpenFailureKind::kPermission || kind == OpenFailureKind::kBusy)
      refused += DescribeOpenFailure(candidate, session.LastOpenFailure());
  }
  *cx.err << "orvex-gsm-cli: no answer from the panel on " << cx.port
          << (adapters.empty() ? " nor on COM1 to COM8"
                               : ", COM1 to COM8 nor on the adapters found")
          << "\n"
          << refused;
  return kExitNoAnswer;
}

int ReadCommand(const CliContext& cx) {
  StandalonePort port;
  PanelSession session(port);
  if (const int code = Reach(session, cx)) return code;
  PanelImage image;
  if (const int code = ReadImage(session, cx, image)) return code;
  if (cx.verify) {
    PanelImage again;
    if (const int code = ReadImage(session, cx, again)) return code;
    const auto differences = ImageDifferences(image, again);
    if (!differences.empty()) return ReportDifferences(differences, "a second read", cx);
  }
  const std::string header = std::string("orvex-gsm-cli ") + ORVEX_VERSION +
                             ", the \"Orvex GSM\" panel\nport: " + cx.port +
                             "\nread: " + IsoTimeNow();
  return Emit(FormatSettingsFile(image, header), cx);
}

int WriteCommand(const CliContext& cx, const std::string& file) {
  PanelImage image;
  if (const int code = LoadSettingsFile(file, cx, image)) return code;
  StandalonePort port;
  PanelSession session(port);
  if (const int code = Reach(session, cx)) return code;
  try {
    session.WriteImage(image);
  } catch (const EPanelWriteError& error) {
    return ReportUnconfirmed(error, cx);
  }
  if (cx.no_verify) return kExitOk;
  PanelImage back;
  if (const int code = ReadImage(session, cx, back)) return code;
  const auto differences = ImageDifferences(image, back);
  if (!differences.empty()) return ReportDifferences(differences, "the panel read back", cx);
  return kExitOk;
}

int ReadKeyCommand(const CliContext& cx) {
  if (!LogWritable(cx)) return kExitCannotWrite;
  StandalonePort port;
  PanelSession session(port);
  OpenPort(port.Comm1(), cx.port);
  if (!session.PortOpen()) return CannotOpen(session, cx);
  PlainKeyList keys;
  keys.Append("1", std::string(16, '0'));
  keys.selected_row = 1;
  session.ReadPresented(keys);
  if (!port.Connected()) {
    *cx.err << "orvex-gsm-cli: no key read on " << cx.port << " (+T00 was not answered)\n";
    return kExitNotAccepted;
  }
  *cx.out << Cp1251ToUtf8(keys.ReaderKey()) << "\n";
  return kExitOk;
}
