// Measures the configuration window against the panel simulator:
//  1. start-up when every port of the scan opens but no panel answers: from
//     the creation of the window to its first showing, against the floor of
//     nine probes, each waiting out every slice of its budget;
//  2. a whole-panel read (probe, 4 keys, flags, 6 numbers) behind the wait
//     window: wall time against its floor computed from the code's steps
//     and budgets (bench/floors.h), and the program's CPU time per wall
//     second. The last line is "cpu/wall RATIO".
// Runs on the platform Qt is given (offscreen when none is set).

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <cstdio>
#include <string>

#include "app/error_display.h"
#include "app/main_window.h"
#include "app/prompter.h"
#include "bench/floors.h"
#include "fakes/cpu_time.h"
#include "fakes/sim_process.h"
#include "serial/comm_device.h"

namespace {

using orvex_test::CpuSeconds;

// Answers every question with a fixed answer and shows nothing.
class QuietPrompter : public Prompter {
 public:
  bool yes = false;
  bool AskYesNo(const QString&) override { return yes; }
  void Confirm(const QString&, const QString&) override {}
  void ShowError(const QString& text) override {
    std::fprintf(stderr, "error box: %s\n", text.toUtf8().constData());
  }
  void Inform(const QString& text) override {
    std::fprintf(stderr, "notice: %s\n", text.toUtf8().constData());
  }
  void Warn(const QString& text) override {
    std::fprintf(stderr, "warning: %s\n", text.toUtf8().constData());
  }
  QString AskSaveFileName(const QString&, const QString&) override { return {}; }
  QString AskOpenFileName(const QString&, const QString&) override { return {}; }
  void ShowDefaultError(const QString& text) override {
    std::fprintf(stderr, "error: %s\n", text.toUtf8().constData());
  }
};

void MapEveryPortTo(const std::string& path) {
  SetPortMapLookup([path](const std::string&) -> std::optional<std::string> { return path; });
}

double StartUpSeconds() {
  QElapsedTimer clock;
  clock.start();
  TfOrvex window{std::string()};
  window.FormCreate();
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) std::fprintf(stderr, "window not exposed\n");
  return clock.nsecsElapsed() / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TOrvexApplication application(argc, argv);
  QuietPrompter prompter;
  SetPrompter(&prompter);
  // The windows save their state at close: into a folder of the benchmark's
  // own, not the developer's settings.
  orvex_test::TempDir config;
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path()));

  {
    orvex_test::SimProcess silent({"--silent"});
    MapEveryPortTo(silent.SlavePath());
    const double floor = 9 * bench::SilentProbeMs() / 1000;
    std::printf("start-up, every port opens, no panel answers (floor %.2f s):\n", floor);
    for (int run = 1; run <= 3; ++run) {
      const double seconds = StartUpSeconds();
      std::printf("  run %d: %.3f s to the window shown (+%.0f ms over the floor)\n", run, seconds,
                  (seconds - floor) * 1000);
    }
  }

  orvex_test::TempDir state;
  orvex_test::WriteSimState(state.File("state"), {{"dial", "3F"}, {"h24", "3F"}});
  orvex_test::SimProcess panel({"--state", state.File("state")});
  MapEveryPortTo(panel.SlavePath());
  TfOrvex window{std::string()};
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) std::fprintf(stderr, "window not exposed\n");
  prompter.yes = true;
  constexpr int kReads = 10;
  // The probe, the question (answered at once), then the window's read:
  // keys, flags, and the number of every event it dials (all six here); the
  // probe's end is the read's.
  std::vector<Step> steps = {ProbeStep()};
  for (int slot = 1; slot <= kKeySlots; ++slot)
    steps.push_back(KeyReadStep(slot, Phase::kRead, ReplyShape::kSlotKey));
  steps.push_back(FlagsReadStep(Phase::kRead));
  for (int event = 1; event <= kEventCount; ++event)
    steps.push_back(NumberReadStep(event, Phase::kRead));
  const double floor =
      bench::OperationFloorMs(steps, false, [](const Step&) { return 0.0; }) / 1000;
  QElapsedTimer clock;
  clock.start();
  const double cpuBefore = CpuSeconds();
  for (int read = 0; read < kReads; ++read) window.Button1Click();
  const double wall = clock.nsecsElapsed() / 1e9;
  const double cpu = CpuSeconds() - cpuBefore;
  std::printf("whole-panel read behind the wait window, %d reads of %zu commands:\n", kReads,
              steps.size());
  std::printf("  %.3f s per read (floor %.2f s), cpu %.3f s in %.3f s wall\n", wall / kReads, floor,
              cpu, wall);
  std::printf("cpu/wall %.4f\n", cpu / wall);
  SetPrompter(nullptr);
  return 0;
}
