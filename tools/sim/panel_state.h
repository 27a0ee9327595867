#pragma once
// What the simulated panel keeps in its memory, and the state file that lets a
// demonstration keep its settings between runs.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

constexpr int kKeySlots = 4;
constexpr int kKeyBytes = 8;
constexpr int kEvents = 6;
constexpr int kNumberCodes = 16;
// Only events 1 to 6 have a flag bit; the panel keeps bits 6 and 7 clear.
constexpr uint8_t kFlagMask = 0x3F;

using KeyBytes = std::array<uint8_t, kKeyBytes>;
using NumberCodes = std::array<uint8_t, kNumberCodes>;

// Factory settings are all zero: no keys, no numbers, no flags.
struct PanelState {
  std::array<KeyBytes, kKeySlots> keys{};
  uint8_t dial = 0;
  uint8_t h24 = 0;
  std::array<NumberCodes, kEvents> numbers{};

  bool operator==(const PanelState&) const = default;
};

// Upper-case hexadecimal, two digits per byte.
std::string ToHex(const uint8_t* bytes, size_t count);
template <size_t N>
std::string ToHex(const std::array<uint8_t, N>& bytes) {
  return ToHex(bytes.data(), N);
}

// Reads exactly 2 * count hexadecimal digits of either case; false (and `out`
// untouched) for any other length or any other character.
bool FromHex(std::string_view hex, uint8_t* out, size_t count);
template <size_t N>
bool FromHex(std::string_view hex, std::array<uint8_t, N>& out) {
  return FromHex(hex, out.data(), N);
}

// The state file is text, one "name=value" per line ("key1".."key4",
// "dial", "h24", "number1".."number6", values in hexadecimal); blank lines
// and lines starting with "#" are ignored, a missing name keeps its factory
// value.
std::string FormatState(const PanelState& state);
// Nullopt for a text that is not a state file; `error` then says which line
// and why.
std::optional<PanelState> ParseState(std::string_view text, std::string& error);

enum class LoadResult { kLoaded, kMissing, kRejected };
// kMissing: no such file, `state` keeps the factory settings. kRejected: the
// file exists but cannot be read or parsed; `error` names the file and the
// reason, `state` is left alone.
LoadResult LoadStateFile(const std::string& path, PanelState& state, std::string& error);
// Writes a temporary file beside `path` and renames it over the old one, so
// that an interrupted save leaves the old or the new file, never half of one.
bool SaveStateFile(const std::string& path, const PanelState& state, std::string& error);
