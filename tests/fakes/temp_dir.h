#pragma once
// Temporary folders for tests, under the system's temporary folder ($TMPDIR
// on POSIX), each removed with everything in it when the object ends.

#include <filesystem>
#include <string>
#include <string_view>

namespace orvex_test {

// A fresh folder of its own.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// A fresh folder that is the current directory while the object lives, so
// that log.txt and Config.ini never land beside the sources; the previous
// current directory comes back afterwards.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::filesystem::path path() const { return dir_.path(); }

 private:
  std::filesystem::path previous_;
  TempDir dir_;
};

}  // namespace orvex_test

// The whole file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& path);
// Replaces the file with bytes.
void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);
