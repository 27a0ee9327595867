// The bench loop: one panel after another on the same port, as an installer
// prepares them, until Ctrl-C.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <exception>
#include <filesystem>
#include <ostream>
#include <thread>

#include "panel/panel_port.h"
#include "support/system_io.h"
#include "tools/cli/cli_commands.h"
#include "tools/cli/cli_files.h"
#include "tools/cli/cli_interrupt.h"
#include "tools/cli/cli_panel.h"
#include "tools/cli/cli_ports.h"
#include "tools/cli/exit_codes.h"

namespace {

// A panel is swapped for the next in well under a second on a bench: the
// line is probed often enough that a probe falls into the gap. A probe
// answered costs one slice (less with --fast), one not answered 250 ms.
constexpr int kWatchEveryMs = 50;

void Pause(int ms) {
  for (int waited = 0; waited < ms && !Interrupted(); waited += 50)
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(50, ms - waited)));
}

// One line that shows the step, rewritten in place; only on a terminal.
class Progress {
 public:
  explicit Progress(const CliContext& cx) : cx_(cx) {}
  ~Progress() { Clear(); }
  void Show(const std::string& text) {
    if (!cx_.progress) return;
    *cx_.err << "\r" << kProgramName << ": " << text << "\x1b[K" << std::flush;
    shown_ = true;
  }
  void Clear() {
    if (!shown_) return;
    *cx_.err << "\r\x1b[K" << std::flush;
    shown_ = false;
  }

 private:
  const CliContext& cx_;
  bool shown_ = false;
};

bool Answers(Link& link, const CliContext& cx) {
  try {
    return Reach(link, cx, true) == kExitOk;
  } catch (const std::exception&) {
    return false;  // a line lost during the probe: no panel there now
  }
}

// The probe on the port as it is, not reopened: a reopened name could
// already lead to the next panel's line.
bool StillThere(Link& link) {
  if (!link.port.Comm1().Opened()) return false;
  try {
    return link.session.SendProbe();
  } catch (const std::exception&) {
    return false;  // the line hung up: the panel (or its adapter) was taken away
  }
}

// A quiet probe, then a rest of a tenth of a second, until a panel answers; a port that
// is missing (an adapter unplugged with its panel) is waited for too. False
// when Ctrl-C ended the wait.
bool AwaitPanel(Link& link, const CliContext& cx, Progress& progress) {
  progress.Show("waiting for a panel on " + cx.port);
  while (!Interrupted()) {
    if (Answers(link, cx)) return true;
    Pause(kRepeatRestMs);
  }
  return false;
}

// Until the panel has gone: the first probe that is not answered (or finds
// the line hung up) means it was taken away, since another may already be
// on the line at the next probe. A panel that misses one probe is therefore
// worked on again, which is safe; another panel taken for it is not.
void AwaitGone(Link& link, Progress& progress, int number) {
  progress.Show("panel " + std::to_string(number) + " done: unplug it");
  while (!Interrupted() && StillThere(link)) Pause(kWatchEveryMs);
  // The next panel may come on another device behind the same name.
  if (link.port.Comm1().Opened()) link.port.Comm1().CloseDevice();
}

std::string Stamp(const char* format) {
  const std::tm local = LocalCalendar(std::time(nullptr));
  char text[32];
  std::strftime(text, sizeof text, format, &local);
  return text;
}

struct Tally {
  int panels = 0;
  int good = 0;
  int failed = 0;
  int code = kExitOk;  // of the last failure

  void Count(int outcome) {
    ++panels;
    if (outcome == kExitOk) {
      ++good;
    } else {
      ++failed;
      code = outcome;
    }
  }
};

// Runs one panel's work again and again; work returns the panel's outcome.
template <typename Work>
int Loop(const CliContext& given, const char* done, const char* good, Work work) {
  InterruptScope interrupt;
  CliContext cx = given;
  Link link(cx);
  Progress progress(cx);
  int number = 0;
  cx.step = [&](const std::string& what) {
    progress.Show("panel " + std::to_string(number) + ": " + what);
  };
  Tally tally;
  // A missing port is waited for (an adapter unplugged with its panel); one
  // that waiting cannot bring is said at once.
  ReopenForPanel(link.port.Comm1(), cx.port);
  if (!link.session.PortOpen() && OpenFailureLasts(cx.port, link.session.LastOpenFailure())) {
    Tell(*cx.err, DescribeOpenFailure(cx.port, link.session.LastOpenFailure()));
    return kExitCannotOpen;
  }
  if (!cx.quiet) Tell(*cx.err, "waiting for panels on " + cx.port + "; Ctrl-C ends");
  while (AwaitPanel(link, cx, progress)) {
    number = tally.panels + 1;
    const PanelOutcome outcome = work(link, cx, number);
    tally.Count(outcome.code);
    progress.Clear();
    *cx.out << number << "  " << Stamp("%H:%M:%S") << "  " << outcome.summary << std::endl;
    AwaitGone(link, progress, number);
  }
  progress.Clear();
  Tell(*cx.err, std::string("panels ") + done + ": " + std::to_string(tally.panels) + ", " + good +
                    ": " + std::to_string(tally.good) +
                    ", failed: " + std::to_string(tally.failed));
  return tally.code;
}

// "DIR/panel-0003-20261207-151230.txt"; the next free name when taken.
PanelOutcome SaveBackup(const CliContext& cx, const PanelImage& image, int number) {
  std::string reason;
  for (int attempt = 0; attempt < 100; ++attempt) {
    // Appended, not added: GCC 12 misreads a sum whose right side is a
    // temporary string as an overlapping copy (-Wrestrict).
    std::string suffix;
    if (attempt > 0) {
      suffix = "-";
      suffix += std::to_string(attempt);
    }
    char name[64];
    std::snprintf(name, sizeof name, "panel-%04d-%s%s.txt", number, Stamp("%Y%m%d-%H%M%S").c_str(),
                  suffix.c_str());
    const std::string path = (std::filesystem::path(cx.output) / name).string();
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) continue;
    if (WriteOutputFile(path, BackupText(image, cx), true, reason))
      return {kExitOk, "saved " + path};
    if (!std::filesystem::exists(path, ec)) break;  // not a name taken meanwhile
  }
  Tell(*cx.err, "cannot write a backup into " + cx.output + ": " + reason);
  return {kExitCannotWrite, "not saved: " + reason};
}

}  // namespace

int RepeatWriteCommand(const CliContext& cx, const std::string& file) {
  PanelImage image;
  if (const int code = LoadSettingsFile(file, cx, image)) return code;
  if (const int code = StartLog(cx, "write --repeat")) return code;
  return Loop(cx, "written", "verified", [&](Link& link, const CliContext& loop, int) {
    return WritePanel(link, loop, image);
  });
}

int RepeatReadCommand(const CliContext& cx) {
  std::error_code ec;
  if (!std::filesystem::is_directory(cx.output, ec)) {
    Tell(*cx.err, cx.output + " is not a folder: read --repeat saves one file per panel in it");
    return kExitUsage;
  }
  if (const int code = StartLog(cx, "read --repeat")) return code;
  return Loop(cx, "read", "saved", [&](Link& link, const CliContext& loop, int number) {
    // A backup that is kept is read twice, in two orders.
    CliContext twice = loop;
    twice.verify = true;
    PanelImage image;
    const PanelOutcome outcome = ReadPanel(link, twice, image);
    return outcome.code != kExitOk ? outcome : SaveBackup(loop, image, number);
  });
}
