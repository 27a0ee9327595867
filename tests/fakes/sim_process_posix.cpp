// The simulator is built on POSIX systems only; elsewhere this file is empty.
#ifdef ORVEX_GSM_SIM_PATH

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "fakes/sim_process.h"

#include "panel/encodings.h"

extern char** environ;

namespace orvex_test {
namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Undoes the log's escaping: "\\" and "\xHH".
std::string Unescape(std::string_view text) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
      bytes += '\\';
      ++i;
    } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
               HexDigit(text[i + 2]) >= 0 && HexDigit(text[i + 3]) >= 0) {
      bytes += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
      i += 3;
    } else {
      bytes += text[i];
    }
  }
  return bytes;
}

void MakePipe(int fds[2]) {
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  fcntl(fds[1], F_SETFD, FD_CLOEXEC);
}

void CloseFd(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

}  // namespace

// --- SimProcess

SimProcess::SimProcess(std::vector<std::string> args) {
  // A write to the standard input of a simulator that has gone must fail,
  // not end the test program.
  signal(SIGPIPE, SIG_IGN);
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--log" && i + 1 < args.size()) log_path_ = args[i + 1];
    if (args[i].rfind("--log=", 0) == 0) log_path_ = args[i].substr(6);
  }
  if (log_path_.empty()) {
    log_path_ = temp_.File("commands.log");
    args.insert(args.begin(), {"--log", log_path_});
  }
  args.insert(args.begin(), {"--exit-on-stdin-eof", "--control"});
  args.insert(args.begin(), ORVEX_GSM_SIM_PATH);
  stderr_path_ = temp_.File("stderr.txt");

  int in_pipe[2], out_pipe[2];
  MakePipe(in_pipe);
  MakePipe(out_pipe);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in_pipe[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderr_path_.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in_pipe[0]);
  close(out_pipe[1]);
  stdin_fd_ = in_pipe[1];
  stdout_fd_ = out_pipe[0];
  if (rc != 0) {
    CloseFd(&stdin_fd_);
    CloseFd(&stdout_fd_);
    throw std::runtime_error(std::string("cannot start ") + ORVEX_GSM_SIM_PATH);
  }
  pid_ = pid;
  std::optional<std::string> path = ReadStdoutLine(10000);
  if (!path || path->empty()) {
    int status = Stop();
    throw std::runtime_error("the simulator printed no terminal path (exit status " +
                             std::to_string(status) + "): " + Stderr());
  }
  slave_path_ = *path;
}

SimProcess::~SimProcess() {
  Stop();
}

std::optional<std::string> SimProcess::ReadStdoutLine(int timeout_ms) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (size_t end = stdout_buffer_.find('\n'); end != std::string::npos) {
      std::string line = stdout_buffer_.substr(0, end);
      stdout_buffer_.erase(0, end + 1);
      return line;
    }
    if (stdout_fd_ < 0) return std::nullopt;
    pollfd pfd{stdout_fd_, POLLIN, 0};
    int ready = poll(&pfd, 1, RemainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    char buffer[512];
    ssize_t n = read(stdout_fd_, buffer, sizeof buffer);
    if (n <= 0) return std::nullopt;
    stdout_buffer_.append(buffer, static_cast<size_t>(n));
  }
}

std::vector<std::string> SimProcess::ReceivedCommands() const {
  std::vector<std::string> commands;
  std::istringstream log(ReadFileBytes(log_path_));
  std::string line;
  while (std::getline(log, line)) {
    size_t start = line.find('\t');
    if (start == std::string::npos) continue;
    size_t end = line.find('\t', start + 1);
    commands.push_back(Unescape(std::string_view(line).substr(
        start + 1, end == std::string::npos ? std::string::npos : end - start - 1)));
  }
  return commands;
}

bool SimProcess::WaitForCommands(size_t count, int timeout_ms) const {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (ReceivedCommands().size() < count) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::string SimProcess::Stderr() const {
  return ReadFileBytes(stderr_path_);
}

std::string SimProcess::Control(const std::string& line) {
  std::string text = line + "\n";
  if (stdin_fd_ < 0 || write(stdin_fd_, text.data(), text.size()) != ssize_t(text.size())) {
    return "";
  }
  return ReadStdoutLine(5000).value_or("");
}

bool SimProcess::PresentKey(const std::string& key) {
  return Control("present " + key) == "presented " + AsciiUpper(key);
}

bool SimProcess::RemoveKey() {
  return Control("present none") == "presented none";
}

void SimProcess::Signal(int sig) {
  if (pid_ > 0 && !status_) kill(pid_, sig);
}

std::optional<int> SimProcess::WaitForExit(int timeout_ms) {
  if (status_ || pid_ <= 0) return status_;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int status = 0;
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return status_;
    }
    if (done < 0 && errno != EINTR) {
      status_ = -1;
      return status_;
    }
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

int SimProcess::Stop() {
  CloseFd(&stdin_fd_);
  if (pid_ <= 0) return -1;  // never kill(-1, ...): that would hit every process we own
  std::optional<int> status = WaitForExit(5000);
  if (!status) {
    kill(pid_, SIGKILL);
    status = WaitForExit(5000);
  }
  CloseFd(&stdout_fd_);
  return status.value_or(-1);
}

// --- PtyClient

PtyClient::PtyClient(const std::string& path) {
  fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) throw std::runtime_error("cannot open " + path);
  termios t{};
  if (!isatty(fd_) || tcgetattr(fd_, &t) != 0) {
    CloseFd(&fd_);
    throw std::runtime_error(path + " is not a terminal");
  }
  cfmakeraw(&t);
  t.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
  t.c_cflag |= CS8 | CLOCAL | CREAD;
  cfsetispeed(&t, B19200);
  cfsetospeed(&t, B19200);
  tcsetattr(fd_, TCSANOW, &t);
}

PtyClient::~PtyClient() {
  CloseFd(&fd_);
}

bool PtyClient::Send(std::string_view bytes) {
  auto deadline = Clock::now() + std::chrono::seconds(5);
  while (!bytes.empty()) {
    ssize_t n = write(fd_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    pollfd pfd{fd_, POLLOUT, 0};
    if (poll(&pfd, 1, RemainingMs(deadline)) == 0) return false;
  }
  return true;
}

namespace {

// Reads from `fd` until `done` says so, the deadline passes or the line goes.
template <typename Done>
std::string ReadWhileNot(int fd, int timeout_ms, Done done) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  std::string received;
  while (!done(received)) {
    int left = RemainingMs(deadline);
    if (left <= 0) break;
    pollfd pfd{fd, POLLIN, 0};
    int ready = poll(&pfd, 1, left);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      received.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      break;
    }
  }
  return received;
}

}  // namespace

std::string PtyClient::ReadUntil(std::string_view until, int timeout_ms) {
  return ReadWhileNot(fd_, timeout_ms, [&](const std::string& received) {
    return received.find(until) != std::string::npos;
  });
}

std::string PtyClient::ReadFor(int ms) {
  return ReadWhileNot(fd_, ms, [](const std::string&) { return false; });
}

std::string PtyClient::Exchange(std::string_view command, int timeout_ms) {
  if (!Send(std::string(command) + "\r")) return "";
  std::string received = ReadWhileNot(fd_, timeout_ms, [](const std::string& text) {
    return text.find("OK\r\n") != std::string::npos || text.find("ERROR\r\n") != std::string::npos;
  });
  for (std::string_view end : {"OK\r\n", "ERROR\r\n"}) {
    if (size_t at = received.find(end); at != std::string::npos) {
      return received.substr(0, at + end.size());
    }
  }
  return received;
}

bool PtyClient::WaitForHangup(int timeout_ms) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    pollfd pfd{fd_, POLLIN, 0};
    int ready = poll(&pfd, 1, RemainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    if (pfd.revents & (POLLHUP | POLLERR)) return true;
    char buffer[4096];
    ssize_t n = read(fd_, buffer, sizeof buffer);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return true;
  }
}

// --- State file

void WriteSimState(const std::string& path, const std::map<std::string, std::string>& fields) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (const auto& [name, value] : fields) out << name << '=' << value << '\n';
}

std::map<std::string, std::string> ReadSimState(const std::string& path) {
  std::map<std::string, std::string> fields;
  std::istringstream text(ReadFileBytes(path));
  std::string line;
  while (std::getline(text, line)) {
    size_t equals = line.find('=');
    if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
    fields[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return fields;
}

}  // namespace orvex_test

#endif  // ORVEX_GSM_SIM_PATH
