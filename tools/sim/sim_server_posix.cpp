#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>
#include <string>

#include "command_log.h"
#include "panel_state.h"
#include "platform/system_text.h"
#include "sim_engine.h"
#include "sim_server.h"
#include "state_saver.h"

namespace {

// The other side has this long to read the last answer before a hang-up.
constexpr int64_t kHangupDrainMs = 2000;
// Bytes written to the master reach the slave's input queue a little later,
// so an empty queue right after the write proves nothing.
constexpr int64_t kHangupSettleMs = 250;
// A hang-up in the middle of an answer comes while the other side still
// waits for the rest of it.
constexpr int64_t kMidAnswerSettleMs = 40;
constexpr int64_t kDrainPollMs = 20;
// A master that reports a hang-up is left alone this long, so that the loop
// does not spin on it.
constexpr int64_t kQuietMs = 50;
constexpr size_t kMaxControlLine = 512;

int signalPipe = -1;

void OnSignal(int) {
  int saved = errno;
  char byte = 1;
  ssize_t ignored = write(signalPipe, &byte, 1);
  (void)ignored;
  errno = saved;
}

int64_t NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// "what: the system's text for errno".
std::string ErrnoMessage(const std::string& what) {
  const int error = errno;
  return what + ": " + SystemErrorText(error);
}

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Close(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

bool SetFlags(int fd) {
  int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 &&
         fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

// Raw bytes both ways: no echo, no line editing, no CR/LF translation.
bool MakeRaw(int fd, bool panelSpeed) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (panelSpeed) {
    cfsetispeed(&t, B19200);
    cfsetospeed(&t, B19200);
  }
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nobody listens any more: nothing to tell them
    done += static_cast<size_t>(n);
  }
}

struct Terminal {
  Fd master;
  // Our own open slave: while it is open the master never sees a hang-up, so
  // the client may open and close the slave as often as it likes. It is never
  // read (the bytes are the client's) and its settings are set once, before
  // any client comes, and never again.
  Fd heldSlave;
  std::string slavePath;
};

bool OpenTerminal(Terminal& t, std::string& error) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0) {
    error = ErrnoMessage("posix_openpt");
    return false;
  }
  t.master.Reset(master);
  const char* name = nullptr;
  if (grantpt(master) != 0 || unlockpt(master) != 0 || (name = ptsname(master)) == nullptr) {
    error = ErrnoMessage("pseudo-terminal setup");
    return false;
  }
  t.slavePath = name;
  if (!SetFlags(master)) {
    error = ErrnoMessage("pseudo-terminal master");
    return false;
  }
  MakeRaw(master, false);  // some systems keep no settings on the master
  int slave = open(t.slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave < 0) {
    error = ErrnoMessage(t.slavePath);
    return false;
  }
  t.heldSlave.Reset(slave);
  if (!MakeRaw(slave, true)) {
    error = ErrnoMessage(t.slavePath + ": terminal settings");
    return false;
  }
  return true;
}

// The --link symlink. Removed on exit only while it still points to our
// terminal; a path that is something else than a symlink is never replaced.
class Link {
 public:
  ~Link() { Remove(); }

  bool Create(const std::string& path, const std::string& target, std::string& error) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
      if (!S_ISLNK(st.st_mode)) {
        error = path + ": exists and is not a symlink; not replaced";
        return false;
      }
      unlink(path.c_str());  // left behind by an earlier run
    }
    if (symlink(target.c_str(), path.c_str()) != 0) {
      error = ErrnoMessage(path);
      return false;
    }
    path_ = path;
    target_ = target;
    return true;
  }

  void Remove() {
    if (path_.empty()) return;
    char buffer[PATH_MAX + 1];
    ssize_t n = readlink(path_.c_str(), buffer, PATH_MAX);
    if (n >= 0 && std::string(buffer, static_cast<size_t>(n)) == target_) unlink(path_.c_str());
    path_.clear();
  }

 private:
  std::string path_;
  std::string target_;
};

bool InstallSignals(Fd& readEnd, Fd& writeEnd, std::string& error) {
  int fds[2];
  if (pipe(fds) != 0) {
    error = ErrnoMessage("signal pipe");
    return false;
  }
  readEnd.Reset(fds[0]);
  writeEnd.Reset(fds[1]);
  if (!SetFlags(fds[0]) || !SetFlags(fds[1])) {
    error = ErrnoMessage("signal pipe");
    return false;
  }
  signalPipe = fds[1];
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return true;
}

PanelState LoadState(const SimOptions& options, bool& saveAllowed) {
  PanelState state;
  saveAllowed = !options.stateFile.empty();
  if (!saveAllowed) return state;
  std::string error;
  if (LoadStateFile(options.stateFile, state, error) == LoadResult::kRejected) {
    CommandLog::Warn(error + "; using the factory settings, and changes are not saved to it");
    saveAllowed = false;
  }
  return state;
}

// The control lines of standard input, collected up to their line feed.
class ControlInput {
 public:
  // Returns the complete lines in `bytes`; an overlong line is replaced by
  // an empty one, which the engine refuses.
  std::vector<std::string> Feed(const char* bytes, size_t count) {
    std::vector<std::string> lines;
    for (size_t i = 0; i < count; ++i) {
      char c = bytes[i];
      if (c == '\n') {
        lines.push_back(overlong_ ? std::string() : std::move(line_));
        line_.clear();
        overlong_ = false;
      } else if (c != '\r') {
        if (line_.size() < kMaxControlLine) {
          line_ += c;
        } else {
          overlong_ = true;
        }
      }
    }
    return lines;
  }

 private:
  std::string line_;
  bool overlong_ = false;
};

// The poll loop: one terminal, the signal pipe and standard input.
class Server {
 public:
  Server(const SimOptions& options, Terminal& terminal, int signalFd, SimEngine& engine,
         CommandLog& log)
      : options_(options),
        terminal_(terminal),
        signal_fd_(signalFd),
        engine_(engine),
        log_(log),
        // Standard input is the user's terminal unless asked for: reading it
        // from the background would stop the simulator (SIGTTIN).
        watch_stdin_(options.control || options.exitOnStdinEof) {}

  // Returns the exit status.
  int Run() {
    for (;;) {
      int64_t now = NowMs();
      WriteDue(now);
      if (HangUpWhenDrained(now)) return 0;
      int timeout = PollTimeout(now);
      bool masterQuiet = now < quiet_until_;
      pollfd fds[3] = {
          {signal_fd_, POLLIN, 0},
          {masterQuiet ? -1 : terminal_.master.get(),
           static_cast<short>(POLLIN | (out_.empty() ? 0 : POLLOUT)), 0},
          {watch_stdin_ ? STDIN_FILENO : -1, POLLIN, 0},
      };
      if (poll(fds, 3, timeout) < 0) {
        if (errno == EINTR) continue;
        CommandLog::Warn(ErrnoMessage("poll"));
        return 1;
      }
      if (fds[0].revents != 0) {
        log_.Note("stopped by a signal");
        return 0;
      }
      if (fds[1].revents != 0) ReadMaster(fds[1].revents);
      if (fds[2].revents != 0 && !ReadControl()) return 0;
    }
  }

 private:
  void WriteDue(int64_t now) {
    if (out_.empty()) out_ = engine_.TakeDue(now);
    if (out_.empty()) return;
    ssize_t n = write(terminal_.master.get(), out_.data(), out_.size());
    if (n > 0) {
      out_.erase(0, static_cast<size_t>(n));
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      log_.Note(ErrnoMessage("answer not sent"));
      out_.clear();
    }
  }

  // Closing the master loses what the other side has not read yet, so the
  // hang-up waits (a little) until the slave's input queue is empty.
  bool HangUpWhenDrained(int64_t now) {
    if (!out_.empty() || !engine_.HangupDue()) return false;
    if (!drain_since_) drain_since_ = now;
    int64_t waited = now - *drain_since_;
    int queued = 0;
    const int64_t settle = engine_.HangupMidAnswer() ? kMidAnswerSettleMs : kHangupSettleMs;
    bool drained = waited >= settle &&
                   (ioctl(terminal_.heldSlave.get(), FIONREAD, &queued) != 0 || queued <= 0);
    if (!drained && waited < kHangupDrainMs) return false;
    log_.Note("hanging up");
    terminal_.master.Close();
    terminal_.heldSlave.Close();
    return true;
  }

  int PollTimeout(int64_t now) const {
    int timeout = -1;
    if (drain_since_) {
      timeout = static_cast<int>(engine_.HangupMidAnswer() ? 5 : kDrainPollMs);
    } else if (out_.empty()) {
      if (std::optional<int64_t> next = engine_.NextDeadline()) {
        timeout = static_cast<int>(std::clamp<int64_t>(*next - now, 0, INT_MAX));
      }
    }
    if (now < quiet_until_) {
      int rest = static_cast<int>(quiet_until_ - now);
      timeout = timeout < 0 ? rest : std::min(timeout, rest);
    }
    return timeout;
  }

  void ReadMaster(short revents) {
    if (revents & POLLIN) {
      ssize_t n = read(terminal_.master.get(), buffer_, sizeof buffer_);
      if (n > 0) {
        engine_.Receive(std::string_view(buffer_, static_cast<size_t>(n)), NowMs());
        return;
      }
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    }
    if (revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) quiet_until_ = NowMs() + kQuietMs;
  }

  // False when the simulator is to end.
  bool ReadControl() {
    ssize_t n = read(STDIN_FILENO, buffer_, sizeof buffer_);
    if (n > 0) {
      std::vector<std::string> lines = control_.Feed(buffer_, static_cast<size_t>(n));
      if (!options_.control) return true;  // watched for its end only
      for (const std::string& line : lines) {
        if (line == "quit") {
          WriteAll(STDOUT_FILENO, "bye\n");
          return false;
        }
        WriteAll(STDOUT_FILENO, engine_.Control(line, NowMs()) + "\n");
      }
      return true;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    if (options_.exitOnStdinEof) {
      log_.Note("standard input ended");
      return false;
    }
    watch_stdin_ = false;
    return true;
  }

  const SimOptions& options_;
  Terminal& terminal_;
  int signal_fd_;
  SimEngine& engine_;
  CommandLog& log_;
  ControlInput control_;
  bool watch_stdin_;
  std::string out_;  // due answer bytes the terminal did not take yet
  std::optional<int64_t> drain_since_;
  int64_t quiet_until_ = 0;
  char buffer_[4096];
};

}  // namespace

int RunSimulator(const SimOptions& options) {
  CommandLog log;
  log.SetVerbose(options.verbose);
  std::string error;
  if (!options.logFile.empty() && !log.Open(options.logFile, error)) {
    CommandLog::Warn(error);
    return 1;
  }
  bool saveAllowed = false;
  PanelState initial = LoadState(options, saveAllowed);

  // Signals first: a stop request must never leave the link behind.
  Fd signalRead, signalWrite;
  Terminal terminal;
  Link link;
  if (!InstallSignals(signalRead, signalWrite, error) || !OpenTerminal(terminal, error) ||
      (!options.link.empty() && !link.Create(options.link, terminal.slavePath, error))) {
    CommandLog::Warn(error);
    return 1;
  }
  WriteAll(STDOUT_FILENO, terminal.slavePath + "\n");
  log.Note("serving on " + terminal.slavePath);

  // The answer goes out first, the state file follows: a save that the disk
  // holds up must not make the panel late. Whatever ends the loop, the saver
  // is flushed before the simulator ends.
  std::optional<StateSaver> saver;
  if (saveAllowed) saver.emplace(options.stateFile);
  SimEngine engine(options, initial, log, [&](const PanelState& state) {
    if (saver) saver->Save(state);
  });
  Server server(options, terminal, signalRead.get(), engine, log);
  return server.Run();
}
