// Measures the exchange against the panel simulator, as the window and the
// command-line tool use it:
// - the silent start-up scan: the probe "+T01" on 9 ports, each freshly
//   opened, none answering; each probe spends every slice of its budget (a
//   failed probe must not make the next port wait for a quiet line);
// - whole-panel reads through the command-line tool's code: the probe and
//   the exact copy in one operation. Each command's answer ends its first
//   100 ms slice, and the operation ends once every budget has run out (an
//   answer still inside one would otherwise go unseen);
// - whole-panel writes as the window sends them (keys first), each confirmed
//   in its first slice, then the same read back exactly and compared: the
//   write's end and the read-back's.
// Every floor is computed from the code's own steps and budgets
// (bench/floors.h).
// Prints wall time against each floor and the CPU time per wall second; the
// last line is "cpu/wall RATIO" over all three.

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "bench/floors.h"
#include "fakes/cpu_time.h"
#include "fakes/sim_process.h"
#include "panel/checked_write.h"
#include "panel/exchange.h"
#include "panel/panel_port.h"
#include "panel/panel_session.h"
#include "panel/settings_file.h"
#include "serial/comm_values.h"
#include "serial/serial_comm.h"
#include "tools/cli/cli.h"

#ifndef ORVEX_GSM_SIM_PATH
#error "the benchmark needs the panel simulator"
#endif

namespace {

using orvex_test::ChildrenCpuSeconds;
using orvex_test::CpuSeconds;
using orvex_test::SimProcess;

// The window's port and connection box, as the start-up scan uses them.
class ScanHost : public ExchangeHost {
 public:
  ScanHost() { RestorePublishedValues(comm_, Comm1Values()); }
  TCustomComm& Comm1() override { return comm_; }
  void SetConnected(bool) override {}

 private:
  TSerialComm comm_;
};

// Silent scans: every probe on a port opened afresh. Returns the wall
// seconds per scan and adds the CPU seconds spent to `cpu`.
double SilentScans(int scans, double& cpu, double& wall) {
  SimProcess sim({"--silent"});
  const std::string& path = sim.SlavePath();
  ScanHost host;
  const auto wall0 = std::chrono::steady_clock::now();
  const double cpu0 = CpuSeconds();
  for (int scan = 0; scan < scans; ++scan) {
    for (int port = 0; port < 9; ++port) {
      ReopenForPanel(host.Comm1(), path);
      std::string reply;
      SendCommand(host, "+T01", 1, DefaultReplyWait, reply);
      if (!reply.empty()) return -1;
    }
  }
  const double spent =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  cpu += CpuSeconds() - cpu0;
  wall += spent;
  host.Comm1().CloseDevice();
  sim.Stop();
  return spent / scans;
}

}  // namespace

int main() {
  double cpuTotal = 0;
  double wallTotal = 0;
  const int scans = 5;
  const double perScan = SilentScans(scans, cpuTotal, wallTotal);
  if (perScan < 0) {
    std::fprintf(stderr, "the silent scan failed\n");
    return 1;
  }
  std::printf("%d silent scans of 9 freshly opened ports: %.1f ms per scan\n", scans,
              perScan * 1000);
  const double scanFloorS = 9 * bench::SilentProbeMs() / 1000;
  std::printf("floor 9 probes x %.0f ms = %.1f ms per scan: %+.2f%% (goal: at most +5%%)\n",
              bench::SilentProbeMs(), scanFloorS * 1000, (perScan / scanFloorS - 1) * 100);

  SimProcess sim;
  const std::string& path = sim.SlavePath();
  std::istringstream none;
  std::ostringstream out, err;
  // Dial every event so that each read also reads all six numbers.
  const std::string settings =
      "key1=0123456789ABCDEF\nkey2=1111111111111111\nkey3=2222222222222222\n"
      "key4=3333333333333333\nnumber1=+79161234567\nnumber2=112\nnumber3=101\n"
      "number4=89031112233\nnumber5=+7\nnumber6=0123456789\n"
      "dial1=1\ndial2=1\ndial3=1\ndial4=1\ndial5=1\ndial6=1\n"
      "day1=0\nday2=0\nday3=0\nday4=0\nday5=0\nday6=0\n";
  std::istringstream in(settings);
  if (RunCli({"--port", path, "write", "-"}, in, out, err) != 0) {
    std::fprintf(stderr, "write failed: %s\n", err.str().c_str());
    return 1;
  }

  const int reads = 50;
  const auto wall0 = std::chrono::steady_clock::now();
  const double cpu0 = CpuSeconds();
  for (int i = 0; i < reads; ++i) {
    out.str("");
    if (RunCli({"--port", path, "read"}, none, out, err) != 0) {
      std::fprintf(stderr, "read %d failed: %s\n", i + 1, err.str().c_str());
      return 1;
    }
  }
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  const double cpu = CpuSeconds() - cpu0;
  cpuTotal += cpu;
  wallTotal += wall;

  // The window's write of both pages: every reply examined, read back,
  // compared.
  StandalonePort port;
  PanelSession session(port);
  if (!session.Probe(path)) {
    std::fprintf(stderr, "no answer to the probe before the writes\n");
    return 1;
  }
  const PanelImage wanted = ParseSettingsFile(settings);
  const int writes = 20;
  const auto writeWall0 = std::chrono::steady_clock::now();
  const double writeCpu0 = CpuSeconds();
  for (int i = 0; i < writes; ++i) {
    if (!WriteAndReadBack(session, wanted, WritePart::kWholePanel).Done()) {
      std::fprintf(stderr, "write %d was not read back the same\n", i + 1);
      return 1;
    }
  }
  const double writeWall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - writeWall0).count();
  const double writeCpu = CpuSeconds() - writeCpu0;
  port.Comm1().CloseDevice();
  sim.Stop();
  const double simCpu = ChildrenCpuSeconds();
  cpuTotal += writeCpu;
  wallTotal += writeWall;

  const double perRead = wall / reads;
  std::printf("%d whole-panel reads: wall %.3f s, %.1f ms per read\n", reads, wall, perRead * 1000);
  // The simulator answers at once: an exchange costs next to nothing but
  // its slice.
  const bench::ExchangeMs instant = [](const Step&) { return 0.0; };
  const std::vector<Step> readSteps = bench::ToolReadSteps();
  const double floorS = bench::OperationFloorMs(readSteps, false, instant) / 1000;
  const double endS = bench::EndMs(readSteps, instant) / 1000;
  std::printf(
      "floor %zu answer slices x %u ms + the read's end (%.0f ms) = %.1f ms per read: %+.2f%% "
      "(goal: at most +5%%)\n",
      readSteps.size(), kSliceMs, endS * 1000, floorS * 1000, (perRead / floorS - 1) * 100);
  std::printf("the read's end costs %.1f ms, %.1f%% of a read\n", endS * 1000,
              endS / perRead * 100);
  std::printf("reads: tool cpu %.4f s, cpu/wall %.4f\n", cpu, cpu / wall);
  const double perWrite = writeWall / writes;
  // The window's write: keys first; the probe went before the first write
  // alone, so each write here is the writes and the read-back.
  const double writeFloorS = bench::WriteFloorMs(false, false, instant, false) / 1000;
  std::printf("%d whole-panel writes read back and compared: wall %.3f s, %.1f ms per write\n",
              writes, writeWall, perWrite * 1000);
  std::printf(
      "floor: the writes and their end, then the read-back and its end = %.1f ms per write: "
      "%+.2f%% (goal: at most +5%%)\n",
      writeFloorS * 1000, (perWrite / writeFloorS - 1) * 100);
  std::printf("writes: cpu %.4f s, cpu/wall %.4f\n", writeCpu, writeCpu / writeWall);
  std::printf("simulators' cpu %.4f s over the whole run\n", simCpu);
  std::printf(
      "scans, reads and writes: tool cpu %.4f s over %.1f s (goal: cpu/wall at most 0.02)\n",
      cpuTotal, wallTotal);
  std::printf("cpu/wall %.4f\n", cpuTotal / wallTotal);
  return 0;
}
