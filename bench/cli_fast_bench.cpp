// Measures the command-line tool's whole-panel read and verified write over
// the slices (the window's pace) and over the fast link (--fast), side by
// side in one run against the panel simulator answering 15 ms after each
// command, against each link's floor computed from the code's own steps and
// budgets (bench/floors.h) with the wire's time: the same bytes at 19200
// baud (10 bits a byte) plus the simulator's 15 ms per answer. The wire
// alone is printed too: what is left is the operations' ends. A pseudo-
// terminal moves bytes at once, so a link may come in under its floor; a
// real adapter cannot.
// Prints seconds per operation, the ratio to the floor, fast against slices,
// and the tool's CPU time per wall second.

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "bench/floors.h"
#include "fakes/cpu_time.h"
#include "fakes/sim_process.h"
#include "panel/panel_fields.h"
#include "tools/cli/cli.h"

#ifndef ORVEX_GSM_SIM_PATH
#error "the benchmark needs the panel simulator"
#endif

namespace {

using orvex_test::CpuSeconds;

constexpr int kRuns = 5;
constexpr int kAnswerDelayMs = 15;
constexpr double kSecondsPerByte = 10.0 / 19200.0;

// One exchange on the wire, both ways: the command with its CR, the answer
// (a read's ">" data CR LF "OK" CR LF, a write's "OK" CR LF), and the
// simulator's delay.
double ExchangeMs(const Step& step) {
  size_t answer = 4;  // "OK" CR LF
  if (!step.IsWrite()) {
    switch (step.subject) {
      case Subject::kFlags:
        answer += 1 + 4 + 2;
        break;
      case Subject::kNumber:
        answer += 1 + 2 + kNumberDigits + 2;
        break;
      default:
        answer += 1 + kKeyDigits + 2;
    }
  }
  return (step.command.size() + 1 + answer) * kSecondsPerByte * 1000 + kAnswerDelayMs;
}

struct Figure {
  double wall = 0;  // seconds per operation
  double cpu = 0;   // seconds per operation
};

Figure Measure(const std::vector<std::string>& args, const std::string& input) {
  Figure f;
  for (int i = 0; i < kRuns; ++i) {
    std::istringstream in(input);
    std::ostringstream out, err;
    const double cpu = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const int code = RunCli(args, in, out, err);
    f.wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    f.cpu += CpuSeconds() - cpu;
    if (code != 0) std::fprintf(stderr, "exit %d: %s", code, err.str().c_str());
  }
  f.wall /= kRuns;
  f.cpu /= kRuns;
  return f;
}

void Print(const char* what, const Figure& slices, const Figure& fast, double slicesFloor,
           double fastFloor, double wire) {
  std::printf(
      "%-14s slices %.3f s (floor %.3f s, %+.1f%%)  fast %.3f s (floor %.3f s, %+.1f%%)  "
      "wire alone %.3f s  fast/slices %.2f  cpu/wall slices %.4f fast %.4f\n",
      what, slices.wall, slicesFloor, (slices.wall / slicesFloor - 1) * 100, fast.wall, fastFloor,
      (fast.wall / fastFloor - 1) * 100, wire, fast.wall / slices.wall, slices.cpu / slices.wall,
      fast.cpu / fast.wall);
}

}  // namespace

int main() {
  orvex_test::SimProcess sim({"--delay", std::to_string(kAnswerDelayMs)});
  const std::string path = sim.SlavePath();
  std::ostringstream backup, err;
  std::istringstream none;
  RunCli({"--port", path, "read"}, none, backup, err);

  // The floors of both links, each with its operations' ends, and the wire
  // alone (what the ends leave of the time).
  const std::vector<Step> read = bench::ToolReadSteps();
  double wire = 0;
  for (const Step& step : read) wire += ExchangeMs(step);
  Print("read", Measure({"--port", path, "read"}, ""),
        Measure({"--fast", "--port", path, "read"}, ""),
        bench::OperationFloorMs(read, false, ExchangeMs) / 1000,
        bench::OperationFloorMs(read, true, ExchangeMs) / 1000, wire / 1000);
  const bench::ExchangeMs exchange = ExchangeMs;
  double writeWire = wire - ExchangeMs(ProbeStep());
  for (const Step& step : bench::Joined({ProbeStep()}, ImageWriteSteps(PanelImage{})))
    writeWire += ExchangeMs(step);
  Print("verified write", Measure({"-q", "--port", path, "write", "-"}, backup.str()),
        Measure({"-q", "--fast", "--port", path, "write", "-"}, backup.str()),
        bench::WriteFloorMs(false, true, exchange) / 1000,
        bench::WriteFloorMs(true, true, exchange) / 1000, writeWire / 1000);
  return 0;
}
