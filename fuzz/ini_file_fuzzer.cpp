// Reading Config.ini: any file gives a value or the default, never a line
// end; the answer does not depend on the letter case of the names asked for,
// on a line end added at the end of the file, or on a byte order mark.
//
// Input: u8 length of the section name (modulo 16), the name, u8 length of
// the key name (modulo 16), the name, then the file to the end.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "support/ini_file.h"

namespace {

constexpr const char* kDefault = "\x01 the default \x01";

// One file for every input, removed when the fuzzer exits.
class ScratchPath {
 public:
  ScratchPath() {
    // Memory-backed where there is such a folder: four files per input.
    const bool shm = access("/dev/shm", W_OK) == 0;
    path_ = std::string(shm ? "/dev/shm" : "/tmp") + "/orvex-fuzz-ini-XXXXXX";
    const int fd = mkstemp(path_.data());
    if (fd < 0) std::abort();
    close(fd);
  }
  ~ScratchPath() { unlink(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

const std::string& ScratchFile() {
  static const ScratchPath scratch;
  return scratch.path();
}

std::string ReadFrom(std::string_view file, const std::string& section, const std::string& key) {
  FILE* f = std::fopen(ScratchFile().c_str(), "wb");
  if (f == nullptr) std::abort();
  if (!file.empty() && std::fwrite(file.data(), 1, file.size(), f) != file.size()) std::abort();
  std::fclose(f);
  return ReadIniString(ScratchFile(), section, key, kDefault);
}

std::string Cased(std::string s, bool upper) {
  for (char& c : s) {
    if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::string_view Take(std::string_view& in, size_t count) {
  count = std::min(count, in.size());
  const std::string_view part = in.substr(0, count);
  in.remove_prefix(count);
  return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  const auto byte = [&] { return in.empty() ? 0 : static_cast<unsigned char>(Take(in, 1)[0]); };
  const std::string section(Take(in, byte() % 16));
  const std::string key(Take(in, byte() % 16));
  const std::string_view file = in;

  const std::string value = ReadFrom(file, section, key);
  FUZZ_CHECK(value.find_first_of("\r\n") == std::string::npos, "a value never holds a line end");
  FUZZ_CHECK(ReadFrom(file, Cased(section, true), Cased(key, false)) == value,
             "section and key names match without regard to letter case");
  FUZZ_CHECK(ReadFrom(std::string(file) + "\n", section, key) == value,
             "a line end after the last line changes nothing");
  if (file.substr(0, 3) != "\xEF\xBB\xBF")
    FUZZ_CHECK(ReadFrom("\xEF\xBB\xBF" + std::string(file), section, key) == value,
               "a byte order mark changes nothing");
  return 0;
}
