// TempDir for the window's tests on Windows, where the simulator's helpers
// (sim_process_posix.cpp, which holds the POSIX TempDir) are not built.

#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>

#include "sim_process.h"

namespace orvex_test {

TempDir::TempDir() {
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  std::random_device seed;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate = base / ("orvex-gui-" + std::to_string(seed()));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) {
      path_ = candidate.generic_string();
      return;
    }
  }
  throw std::runtime_error("no temporary folder under " + base.string());
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace orvex_test
