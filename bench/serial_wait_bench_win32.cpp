// What waiting for the panel costs on Windows: 100 reads of ReadData(600,
// 100 ms) on a silent COM port, then 100 on a port whose far end sends back
// the 40 bytes written before each read (an echo peer). Prints wall time and
// this process's CPU time (user + kernel) and their ratio; the last line is
// "cpu/wall RATIO". Under Wine the comm calls are served by wineserver, whose
// CPU the caller measures beside it.
//
//   serial_wait_bench_win32 COM12

#include <windows.h>

#include <cstdio>
#include <string>

#include "fakes/cpu_time.h"
#include "panel/panel_port.h"
#include "serial/serial_comm.h"

namespace {

using orvex_test::CpuSeconds;

double WallSeconds() {
  return GetTickCount64() / 1000.0;
}

struct Totals {
  double wall = 0;
  double cpu = 0;
};

Totals Measure(TCustomComm& comm, bool answering, int calls, uint32_t& bytes) {
  uint8_t buffer[600];
  const std::string question(40, 'A');
  bytes = 0;
  const double wall0 = WallSeconds();
  const double cpu0 = CpuSeconds();
  for (int i = 0; i < calls; ++i) {
    if (answering) comm.SendString(question);
    bytes += comm.ReadData(buffer, sizeof buffer, 100);
  }
  return {WallSeconds() - wall0, CpuSeconds() - cpu0};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: serial_wait_bench_win32 PORT (whose far end echoes)\n");
    return 2;
  }
  TSerialComm comm;
  RestorePublishedValues(comm, Comm1Values());  // the window's own line
  comm.SetDeviceName(argv[1]);
  try {
    comm.OpenDevice();
  } catch (const EDeviceError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  const int calls = 100;
  uint32_t bytes = 0;
  const Totals silent = Measure(comm, false, calls, bytes);
  std::printf("silent line:   %d reads, %u bytes, wall %.3f s, cpu %.4f s\n", calls, bytes,
              silent.wall, silent.cpu);
  const Totals answering = Measure(comm, true, calls, bytes);
  std::printf("echoing line:  %d reads, %u bytes, wall %.3f s, cpu %.4f s\n", calls, bytes,
              answering.wall, answering.cpu);
  comm.CloseDevice();
  const double wall = silent.wall + answering.wall;
  const double cpu = silent.cpu + answering.cpu;
  std::printf("wall %.3f s, cpu %.4f s\ncpu/wall %.4f\n", wall, cpu, cpu / wall);
  return 0;
}
