#include "tools/cli/cli.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "panel/commands.h"
#include "panel/encodings.h"
#include "panel/keys_page_ops.h"
#include "panel/numbers_page_ops.h"
#include "panel/panel_errors.h"
#include "panel/panel_port.h"
#include "panel/plain_pages.h"
#include "support/log.h"
#include "support/text_codec.h"
#include "tools/cli/settings_file.h"

namespace {

constexpr const char* kUsage =
    "usage: orvex-gsm-cli [--port NAME] [--debug] probe|scan|read|write FILE|read-key\n"
    "  --port NAME  the port, as the window's port box takes it (default COM2)\n"
    "  --debug      trace every exchange to log.txt in the current directory\n"
    "  probe        does the panel answer on NAME?\n"
    "  scan         NAME, then COM1 to COM8: the first port where the panel answers\n"
    "  read         the panel's keys, numbers and flags as a settings file on stdout\n"
    "  write FILE   the settings file FILE (- for stdin) to the panel\n"
    "  read-key     the key presented to the panel's reader\n";

// The window's port and connection box, without the window.
class CliHost : public ExchangeHost {
 public:
  CliHost() { RestorePublishedValues(comm_, Comm1Values()); }
  TCustomComm& Comm1() override { return comm_; }
  void SetConnected(bool checked) override { connected_ = checked; }
  bool connected() const { return connected_; }

 private:
  TSerialComm comm_;
  bool connected_ = false;
};

// Sends through the exchange and remembers every command the panel did not
// accept, named as the user sees it: without its data.
class RecordingSender {
 public:
  explicit RecordingSender(CliHost& host) : host_(host) {}
  CommandSender sender() {
    return
        [this](const std::string& command, int32_t attempts, int32_t budget, std::string& reply) {
          reply.clear();
          SendCommandOn(host_, command, attempts, budget, reply);
          if (reply.empty()) unanswered_.push_back(command.substr(0, command[1] == 's' ? 2 : 4));
        };
  }
  const std::vector<std::string>& unanswered() const { return unanswered_; }

 private:
  CliHost& host_;
  std::vector<std::string> unanswered_;
};

bool Probe(CliHost& host, const std::string& port) {
  OpenPort(host.Comm1(), port);
  std::string reply;
  SendCommandOn(host, std::string(kProbeCommand), kCommandAttempts, kProbeBudget, reply);
  return !reply.empty();
}

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

int ReportUnanswered(const RecordingSender& recorder, std::ostream& err) {
  if (recorder.unanswered().empty()) return kExitOk;
  err << "not accepted by the panel: " << Joined(recorder.unanswered()) << "\n";
  return kExitNotAccepted;
}

int Read(CliHost& host, const std::string& port, std::ostream& out, std::ostream& err) {
  if (!Probe(host, port)) {
    err << "no answer on " << port << "\n";
    return kExitNoAnswer;
  }
  RecordingSender recorder(host);
  PlainKeyList keys;
  ReadKeys(keys, recorder.sender());
  // All twelve boxes start unticked, so the flags come out as the panel
  // holds them and only the numbers of dialled events are read.
  PlainNumbersPage numbers;
  for (int event = 1; event <= kEventCount; ++event) {
    numbers.SetDialTicked(event, false);
    numbers.SetDayTicked(event, false);
  }
  ReadNumsBClick(numbers, recorder.sender());
  if (const int code = ReportUnanswered(recorder, err)) return code;

  PanelSettings settings;
  for (int i = 0; i < kKeySlots; ++i) settings.keys[i] = Cp1251ToUtf8(keys.Value(i));
  for (int event = 1; event <= kEventCount; ++event) {
    settings.numbers[event - 1] = Cp1251ToUtf8(numbers.NumberText(event));
    settings.dial[event - 1] = numbers.DialTicked(event);
    settings.day[event - 1] = numbers.DayTicked(event);
  }
  out << FormatSettingsFile(settings);
  return kExitOk;
}

int Write(CliHost& host, const std::string& port, const std::string& file, std::istream& in,
          std::ostream& err) {
  std::string text;
  if (file == "-") {
    text.assign(std::istreambuf_iterator<char>(in), {});
  } else {
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
      err << "cannot read " << file << "\n";
      return kExitUsage;
    }
    text.assign(std::istreambuf_iterator<char>(stream), {});
  }
  PanelSettings settings;
  try {
    settings = ParseSettingsFile(text);
  } catch (const SettingsFileError& e) {
    err << (file == "-" ? "<stdin>" : file) << ": " << e.what() << "\n";
    return kExitUsage;
  }

  PlainKeyList keys;
  for (int i = 0; i < kKeySlots; ++i)
    keys.Append(std::to_string(i + 1), Utf8ToCp1251(settings.keys[i]));
  PlainNumbersPage numbers;
  for (int event = 1; event <= kEventCount; ++event) {
    numbers.SetDialTicked(event, settings.dial[event - 1]);
    numbers.SetDayTicked(event, settings.day[event - 1]);
    numbers.SetNumberText(event, Utf8ToCp1251(settings.numbers[event - 1]));
  }

  OpenPort(host.Comm1(), port);
  RecordingSender recorder(host);
  // Both halves are sent whatever the other's outcome; the recorder names
  // every command that went unconfirmed.
  try {
    WriteKeys(keys, recorder.sender());
  } catch (const EPanelWriteError&) {
  }
  try {
    WriteNumsBClick(numbers, recorder.sender());
  } catch (const EPanelWriteError&) {
  }
  return ReportUnanswered(recorder, err);
}

int ReadKey(CliHost& host, const std::string& port, std::ostream& out, std::ostream& err) {
  OpenPort(host.Comm1(), port);
  RecordingSender recorder(host);
  PlainKeyList keys;
  for (int i = 1; i <= kKeySlots; ++i) keys.Append(std::to_string(i), std::string(16, '0'));
  keys.selected_row = 1;
  ReadPresentedKey(keys, recorder.sender());
  if (!recorder.unanswered().empty()) {
    err << "no key read on " << port << "\n";
    return kExitNotAccepted;
  }
  out << Cp1251ToUtf8(keys.ReaderKey()) << "\n";
  return kExitOk;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err) {
  std::string port = "COM2";
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--port" && i + 1 < args.size()) {
      port = args[++i];
    } else if (args[i] == "--debug") {
      DebugMode = true;
    } else if (args[i] == "--help" || args[i] == "-h") {
      out << kUsage;
      return kExitOk;
    } else if (args[i].starts_with("--")) {
      err << "unknown option " << args[i] << "\n" << kUsage;
      return kExitUsage;
    } else {
      rest.push_back(args[i]);
    }
  }
  const std::string command = rest.empty() ? "" : rest[0];
  const size_t wanted = command == "write" ? 2 : 1;
  if (rest.size() != wanted || (command != "probe" && command != "scan" && command != "read" &&
                                command != "write" && command != "read-key")) {
    err << kUsage;
    return kExitUsage;
  }

  CliHost host;
  try {
    if (command == "probe") {
      const bool found = Probe(host, port);
      (found ? out : err) << (found ? "found on " : "no answer on ") << port << "\n";
      return found ? kExitOk : kExitNoAnswer;
    }
    if (command == "scan") {
      std::vector<std::string> ports = {port};
      for (int n = 1; n <= 8; ++n) ports.push_back("COM" + std::to_string(n));
      for (const std::string& candidate : ports) {
        if (Probe(host, candidate)) {
          out << "found on " << candidate << "\n";
          return kExitOk;
        }
      }
      err << "no answer on " << port << " nor on COM1 to COM8\n";
      return kExitNoAnswer;
    }
    if (command == "read") return Read(host, port, out, err);
    if (command == "write") return Write(host, port, rest[1], in, err);
    return ReadKey(host, port, out, err);
  } catch (const std::exception& e) {
    // Serial failures, malformed replies and log failures end the command.
    err << "error: " << e.what() << "\n";
    return kExitNotAccepted;
  }
}
