#include "fakes/holder_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

// Whether the process has its standard input on the device yet, and runs the
// program already (the name is the program's only after exec).
bool Holding(int pid, const std::string& device) {
  struct stat held {
  }, wanted{};
  const std::string fd = "/proc/" + std::to_string(pid) + "/fd/0";
  if (stat(fd.c_str(), &held) != 0 || stat(device.c_str(), &wanted) != 0) return false;
  char exe[256] = {};
  const std::string link = "/proc/" + std::to_string(pid) + "/exe";
  const ssize_t n = readlink(link.c_str(), exe, sizeof exe - 1);
  return held.st_rdev == wanted.st_rdev && n > 0 &&
         std::string(exe, static_cast<size_t>(n)).ends_with(HolderProcess::kProgram);
}

}  // namespace

HolderProcess::HolderProcess(const std::string& device) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, device.c_str(),
                                   O_RDWR | O_NOCTTY | O_NONBLOCK, 0);
  char program[] = "sleep";
  char seconds[] = "120";
  char* argv[] = {program, seconds, nullptr};
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, program, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error("cannot start sleep");
  pid_ = pid;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!Holding(pid_, device)) {
    if (std::chrono::steady_clock::now() > until) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      throw std::runtime_error("sleep did not take " + device);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

HolderProcess::~HolderProcess() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}
