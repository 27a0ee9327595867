#pragma once
// A pseudo-terminal for tests of the real POSIX device: the test holds the
// master (the far end of the line), the component opens the slave path.

#include <cstdint>
#include <string>

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& SlavePath() const { return slave_path_; }
  int master() const { return master_; }
  // Sends bytes from the far end.
  void Send(const std::string& bytes);
  // What the far end received within timeoutMs (stops early at `want` bytes).
  std::string Receive(size_t want, int timeoutMs);
  // The far end goes away.
  void HangUp();

 private:
  int master_ = -1;
  std::string slave_path_;
};

// Number of open file descriptors of this process.
int OpenDescriptorCount();
