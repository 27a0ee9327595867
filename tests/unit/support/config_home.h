#pragma once
// A fresh XDG_CONFIG_HOME for the span of one test, so that the settings file
// of the user running the tests is never read or written.

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "scratch_dir.h"

class ScratchConfigHome {
 public:
  ScratchConfigHome() {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) previous_ = old;
    setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
  }
  ~ScratchConfigHome() {
    if (previous_) {
      setenv("XDG_CONFIG_HOME", previous_->c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
  }
  ScratchConfigHome(const ScratchConfigHome&) = delete;
  ScratchConfigHome& operator=(const ScratchConfigHome&) = delete;

  std::filesystem::path Folder() const { return dir_.path() / "NolvarGSM"; }
  std::filesystem::path File() const { return Folder() / "user.reg"; }

  // Puts text in place as the settings file.
  void Write(std::string_view text) const {
    std::filesystem::create_directories(Folder());
    WriteFileBytes(File(), text);
  }
  std::string Read() const { return ReadFileBytes(File()); }

 private:
  ScratchDir dir_;
  std::optional<std::string> previous_;
};
