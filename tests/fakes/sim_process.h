#pragma once
// Test helpers for end-to-end tests against the panel simulator
// (orvex-gsm-sim, POSIX only; ORVEX_GSM_SIM_PATH names the built program).
//
//   SimProcess sim({"--present", "0123456789ABCDEF"});  // starts it
//   PtyClient line(sim.SlavePath());                    // or hand the path to the utility
//   EXPECT_EQ(line.Exchange("+T01"), ">0000000000000000\r\nOK\r\n");
//   EXPECT_EQ(sim.ReceivedCommands(), std::vector<std::string>{"+T01"});
//
// Every SimProcess runs the simulator with --exit-on-stdin-eof and --control
// and holds its standard input open: the simulator ends with the SimProcess object, and
// also when the test program dies. Failures to start throw
// std::runtime_error, which GoogleTest reports as a failed test.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fakes/temp_dir.h"

namespace orvex_test {

class SimProcess {
 public:
  // Starts the simulator with `args` (its options, see orvex-gsm-sim --help)
  // and waits up to 10 s for the slave path. Unless `args` hold "--log", the
  // command log goes to a temporary file that ReceivedCommands reads.
  // Standard error goes to a temporary file that Stderr reads.
  explicit SimProcess(std::vector<std::string> args = {});
  // Stop().
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // The pseudo-terminal to open, as the simulator printed it.
  const std::string& SlavePath() const { return slave_path_; }
  const std::string& LogPath() const { return log_path_; }
  int Pid() const { return pid_; }

  // The commands received so far, in order, without their CR, unescaped back
  // to their raw bytes (a line cut at 256 bytes gives those 256 bytes).
  std::vector<std::string> ReceivedCommands() const;
  // Waits until at least `count` commands are in the log; false on timeout.
  bool WaitForCommands(size_t count, int timeout_ms = 5000) const;
  // All the simulator wrote to standard error so far.
  std::string Stderr() const;

  // Holds a key to the reader (16 hexadecimal digits) or takes it away, over
  // the simulator's standard input. True when the simulator confirmed it;
  // once it returns, a "+T00" sent afterwards sees the new state.
  bool PresentKey(const std::string& key);
  bool RemoveKey();

  // Sends a signal to the simulator (e.g. SIGTERM).
  void Signal(int sig);
  // Exit status once it has ended: its exit code, or 128 + signal number.
  // Nullopt when it is still running after `timeout_ms`.
  std::optional<int> WaitForExit(int timeout_ms);
  // Closes its standard input (it exits), waits up to 5 s, then kills it.
  // Returns the exit status; calling it again returns the same status.
  int Stop();

 private:
  std::string Control(const std::string& line);
  std::optional<std::string> ReadStdoutLine(int timeout_ms);

  TempDir temp_;
  int pid_ = -1;
  int stdin_fd_ = -1;
  int stdout_fd_ = -1;
  std::string stdout_buffer_;
  std::string slave_path_;
  std::string log_path_;
  std::string stderr_path_;
  std::optional<int> status_;
};

// The utility's end of the line, without the serial component: the slave
// opened non-blocking, raw, 19200 baud 8N1, as the utility sets it up.
class PtyClient {
 public:
  // Throws std::runtime_error when the path cannot be opened as a terminal.
  explicit PtyClient(const std::string& path);
  ~PtyClient();
  PtyClient(const PtyClient&) = delete;
  PtyClient& operator=(const PtyClient&) = delete;

  int fd() const { return fd_; }

  // Writes all bytes; false when the line is gone.
  bool Send(std::string_view bytes);
  // Reads until `until` has arrived or `timeout_ms` has passed; returns all
  // bytes read, NUL bytes included.
  std::string ReadUntil(std::string_view until, int timeout_ms);
  // Everything that arrives within `ms`.
  std::string ReadFor(int ms);
  // Sends `command` + CR and returns the answer: what arrived up to and
  // including the first "OK\r\n" or "ERROR\r\n", or all that arrived within
  // `timeout_ms`.
  std::string Exchange(std::string_view command, int timeout_ms = 3000);
  // True when the other end has closed the line (read gives 0 or an error,
  // or poll reports a hang-up) within `timeout_ms`.
  bool WaitForHangup(int timeout_ms);

 private:
  int fd_ = -1;
};

// The simulator's state file: names "key1".."key4" (16 hex digits),
// "dial", "h24" (2 hex digits), "number1".."number6" (32 hex digits). A name
// left out keeps its factory value (all zero).
void WriteSimState(const std::string& path, const std::map<std::string, std::string>& fields);
// The name=value lines of a state file; empty when it cannot be read.
std::map<std::string, std::string> ReadSimState(const std::string& path);

}  // namespace orvex_test
