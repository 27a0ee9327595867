// Measures whole-panel reads through the command-line tool's code against the
// panel simulator: 50 reads of probe, 4 keys, flags and 6 numbers. Each
// command's answer ends its first 100 ms slice, so the floor is 12 slices,
// 1.2 s per read. Prints wall time per read against that floor and the
// tool's CPU time per wall second; the last line is "cpu/wall RATIO".

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "tools/cli/cli.h"

#ifndef ORVEX_GSM_SIM_PATH
#error "the benchmark needs the panel simulator"
#endif

namespace {

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Starts the simulator with all six events dialled, so that every read sends
// all twelve commands; returns its pid and terminal path.
pid_t StartSimulator(std::string& path) {
  int out[2];
  if (pipe(out) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    execl(ORVEX_GSM_SIM_PATH, ORVEX_GSM_SIM_PATH, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') path += c;
  close(out[0]);
  return pid;
}

}  // namespace

int main() {
  std::string path;
  const pid_t sim = StartSimulator(path);
  if (sim <= 0 || path.empty()) {
    std::fprintf(stderr, "cannot start the simulator\n");
    return 1;
  }
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
  const double cpu0 = CpuSeconds(RUSAGE_SELF);
  for (int i = 0; i < reads; ++i) {
    out.str("");
    if (RunCli({"--port", path, "read"}, none, out, err) != 0) {
      std::fprintf(stderr, "read %d failed: %s\n", i + 1, err.str().c_str());
      return 1;
    }
  }
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  const double cpu = CpuSeconds(RUSAGE_SELF) - cpu0;
  kill(sim, SIGTERM);
  waitpid(sim, nullptr, 0);
  const double simCpu = CpuSeconds(RUSAGE_CHILDREN);

  const double perRead = wall / reads;
  std::printf("%d whole-panel reads: wall %.3f s, %.1f ms per read\n", reads, wall, perRead * 1000);
  std::printf("floor 12 slices x 100 ms = 1200.0 ms per read: %+.2f%% (goal: at most +5%%)\n",
              (perRead / 1.2 - 1) * 100);
  std::printf("simulator cpu %.4f s over the whole run\n", simCpu);
  std::printf("tool cpu %.4f s (goal: cpu/wall at most 0.02)\n", cpu);
  std::printf("cpu/wall %.4f\n", cpu / wall);
  return 0;
}
