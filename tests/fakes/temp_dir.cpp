#include "fakes/temp_dir.h"

#include <fstream>
#include <iterator>
#include <random>

namespace orvex_test {

TempDir::TempDir() {
  std::random_device random;
  std::filesystem::path path;
  do {
    path = std::filesystem::temp_directory_path() /
           ("orvex-test-" + std::to_string(random()) + std::to_string(random()));
  } while (!std::filesystem::create_directory(path));
  path_ = path.string();
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

ScratchDir::ScratchDir() : previous_(std::filesystem::current_path()) {
  std::filesystem::current_path(dir_.path());
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
}

}  // namespace orvex_test

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
