#pragma once
// A scratch folder as the current directory (fakes/temp_dir.h), and the
// bytes of the files the tests put there.

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "fakes/temp_dir.h"

using orvex_test::ScratchDir;

inline std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

inline void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
