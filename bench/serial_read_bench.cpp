// Measures what waiting for the panel costs: 100 reads of ReadData(600, 100 ms)
// on a silent pseudo-terminal, then 100 on a line that answers 40 bytes 20 ms
// after each read begins. Prints wall time, CPU time (user + sys) and their
// ratio; the last line is "cpu/wall RATIO".

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "fakes/cpu_time.h"
#include "serial/serial_comm.h"

namespace {

using orvex_test::CpuSeconds;

double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Totals {
  double wall = 0;
  double cpu = 0;
};

// The far end: when told a read has begun, answers 40 bytes 20 ms later.
class Responder {
 public:
  explicit Responder(int master) : master_(master), thread_([this] { Run(); }) {}
  ~Responder() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  void ReadBegins() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++requests_;
    }
    wake_.notify_all();
  }

 private:
  void Run() {
    const std::string answer(40, 'A');
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stop_ || requests_ > 0; });
      if (stop_) return;
      --requests_;
      lock.unlock();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      if (write(master_, answer.data(), answer.size()) < 0) std::perror("write");
      lock.lock();
    }
  }
  int master_;
  std::mutex mutex_;
  std::condition_variable wake_;
  int requests_ = 0;
  bool stop_ = false;
  std::thread thread_;
};

Totals Measure(TCustomComm& comm, Responder* responder, int calls, uint32_t& bytes) {
  uint8_t buffer[600];
  bytes = 0;
  const double wall0 = WallSeconds();
  const double cpu0 = CpuSeconds();
  for (int i = 0; i < calls; ++i) {
    if (responder) responder->ReadBegins();
    bytes += comm.ReadData(buffer, sizeof buffer, 100);
  }
  return {WallSeconds() - wall0, CpuSeconds() - cpu0};
}

}  // namespace

int main() {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    std::perror("posix_openpt");
    return 1;
  }
  termios tio{};
  tcgetattr(master, &tio);
  cfmakeraw(&tio);
  tcsetattr(master, TCSANOW, &tio);

  TSerialComm comm;
  comm.SetDeviceName(ptsname(master));
  comm.SetBaudRate(br19200);
  comm.SetOptions({coDiscardNull, coErrorChar, coParityCheck, coTXContinueOnXOff, coLeaveDTROpen});
  try {
    comm.OpenDevice();
  } catch (const EDeviceError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }

  const int calls = 100;
  uint32_t bytes = 0;
  const Totals silent = Measure(comm, nullptr, calls, bytes);
  std::printf("silent line:   %d reads, %u bytes, wall %.3f s (%.2f ms/read), cpu %.4f s\n", calls,
              bytes, silent.wall, silent.wall * 1000 / calls, silent.cpu);
  Totals answering;
  {
    Responder responder(master);
    answering = Measure(comm, &responder, calls, bytes);
  }
  std::printf("answering line: %d reads, %u bytes, wall %.3f s (%.2f ms/read), cpu %.4f s\n", calls,
              bytes, answering.wall, answering.wall * 1000 / calls, answering.cpu);
  comm.CloseDevice();
  close(master);
  const double wall = silent.wall + answering.wall;
  const double cpu = silent.cpu + answering.cpu;
  std::printf("wall %.3f s, cpu %.4f s (goal: ratio <= 0.02, %.1f ms per read vs 100 ms)\n", wall,
              cpu, wall * 1000 / (2 * calls));
  std::printf("cpu/wall %.4f\n", cpu / wall);
  return 0;
}
