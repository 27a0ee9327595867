// Measures the command-line tool's whole-panel read and verified write over
// the slices (the window's pace) and over the fast link (--fast), side by
// side in one run against the panel simulator answering 15 ms after each
// command, with the floor that the wire itself sets: the same bytes at 19200
// baud (10 bits a byte) plus the simulator's 15 ms per answer. A pseudo-
// terminal moves bytes at once, so the fast link may come in under the wire
// time; a real adapter cannot.
// Prints seconds per operation, the ratio to the floor, fast against slices,
// and the tool's CPU time per wall second.

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/cpu_time.h"
#include "fakes/sim_process.h"
#include "tools/cli/cli.h"

#ifndef ORVEX_GSM_SIM_PATH
#error "the benchmark needs the panel simulator"
#endif

namespace {

using orvex_test::CpuSeconds;

constexpr int kRuns = 5;
constexpr int kAnswerDelayMs = 15;
constexpr double kSecondsPerByte = 10.0 / 19200.0;

// Bytes on the wire, both ways: each command with its CR, each answer.
constexpr int kProbe = 5 + 23;        // "+T01" CR; ">" 16 digits CR LF "OK" CR LF
constexpr int kKeyRead = 5 + 23;      // "+T0n" CR
constexpr int kFlagsRead = 3 + 11;    // "+s" CR; ">" 4 digits CR LF "OK" CR LF
constexpr int kNumberRead = 5 + 41;   // "+H0n" CR; ">" 34 characters CR LF "OK" CR LF
constexpr int kKeyWrite = 21 + 4;     // "+T0n" 16 digits CR; "OK" CR LF
constexpr int kFlagsWrite = 7 + 4;    // "+s" 4 digits CR
constexpr int kNumberWrite = 37 + 4;  // "+H0n" 32 digits CR
constexpr int kReadBytes = 4 * kKeyRead + kFlagsRead + 6 * kNumberRead;
constexpr int kReadExchanges = 11;
constexpr int kWriteBytes = 4 * kKeyWrite + kFlagsWrite + 6 * kNumberWrite;

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

void Print(const char* what, const Figure& slices, const Figure& fast, double floor) {
  std::printf(
      "%-14s slices %.3f s (%.2fx floor)  fast %.3f s (%.2fx floor)  floor %.3f s  "
      "fast/slices %.2f  cpu/wall slices %.4f fast %.4f\n",
      what, slices.wall, slices.wall / floor, fast.wall, fast.wall / floor, floor,
      fast.wall / slices.wall, slices.cpu / slices.wall, fast.cpu / fast.wall);
}

}  // namespace

int main() {
  orvex_test::SimProcess sim({"--delay", std::to_string(kAnswerDelayMs)});
  const std::string path = sim.SlavePath();
  std::ostringstream backup, err;
  std::istringstream none;
  RunCli({"--port", path, "read"}, none, backup, err);

  // Probe, then the read: 12 exchanges; the write adds 11 more and the read-back.
  const double readFloor =
      (kProbe + kReadBytes) * kSecondsPerByte + (kReadExchanges + 1) * kAnswerDelayMs / 1000.0;
  const double writeFloor =
      readFloor + kWriteBytes * kSecondsPerByte + kReadExchanges * kAnswerDelayMs / 1000.0;
  Print("read", Measure({"--port", path, "read"}, ""),
        Measure({"--fast", "--port", path, "read"}, ""), readFloor);
  Print("verified write", Measure({"-q", "--port", path, "write", "-"}, backup.str()),
        Measure({"-q", "--fast", "--port", path, "write", "-"}, backup.str()), writeFloor);
  return 0;
}
