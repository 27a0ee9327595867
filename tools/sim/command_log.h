#pragma once
// What the simulator tells about its work: the command log that tests read
// back, and the running commentary on standard error.

#include <cstddef>
#include <fstream>
#include <string>
#include <string_view>

// Printable ASCII stays as it is, "\" becomes "\\", every other byte "\xHH".
std::string EscapeBytes(std::string_view bytes);

class CommandLog {
 public:
  // Truncates the file. False with `error` set when it cannot be created.
  bool Open(const std::string& path, std::string& error);
  void SetVerbose(bool verbose) { verbose_ = verbose; }

  // One received command; `length` is its full length when it was cut.
  void Received(std::string_view command, size_t length);
  // A line of commentary; shown only with verbose.
  void Note(std::string_view message);
  // A problem worth knowing about; always on standard error.
  static void Warn(std::string_view message);

 private:
  std::ofstream file_;
  std::string path_;
  bool verbose_ = false;
  bool write_failed_ = false;
};
