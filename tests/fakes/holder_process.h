#pragma once
// Another program that holds a device open without any lock, as a terminal
// program would: `sleep` with its standard input on the device.

#include <string>

class HolderProcess {
 public:
  // Throws std::runtime_error when it cannot be started or does not get the
  // device open within a few seconds.
  explicit HolderProcess(const std::string& device);
  ~HolderProcess();
  HolderProcess(const HolderProcess&) = delete;
  HolderProcess& operator=(const HolderProcess&) = delete;

  int pid() const { return pid_; }
  static constexpr const char* kProgram = "sleep";

 private:
  int pid_ = -1;
};
