#include "panel_state.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/system_text.h"

namespace {

constexpr size_t kMaxStateFileSize = 64 * 1024;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

// Finds the field a name stands for; nullptr for an unknown name.
struct Field {
  uint8_t* bytes;
  size_t count;
};

std::optional<Field> FieldByName(PanelState& state, std::string_view name) {
  auto indexed = [&](std::string_view prefix, int limit) -> int {
    if (name.size() != prefix.size() + 1 || name.substr(0, prefix.size()) != prefix) return -1;
    int index = name.back() - '1';
    return index >= 0 && index < limit ? index : -1;
  };
  if (name == "dial") return Field{&state.dial, 1};
  if (name == "h24") return Field{&state.h24, 1};
  if (int i = indexed("key", kKeySlots); i >= 0) return Field{state.keys[i].data(), kKeyBytes};
  if (int i = indexed("number", kEvents); i >= 0) {
    return Field{state.numbers[i].data(), kNumberCodes};
  }
  return std::nullopt;
}

}  // namespace

std::string ToHex(const uint8_t* bytes, size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

bool FromHex(std::string_view hex, uint8_t* out, size_t count) {
  if (hex.size() != count * 2) return false;
  for (char c : hex) {
    if (HexValue(c) < 0) return false;
  }
  for (size_t i = 0; i < count; ++i) {
    out[i] = static_cast<uint8_t>(HexValue(hex[2 * i]) * 16 + HexValue(hex[2 * i + 1]));
  }
  return true;
}

std::string FormatState(const PanelState& state) {
  std::string text = "# Orvex GSM panel simulator state\n";
  for (int i = 0; i < kKeySlots; ++i) {
    text += "key" + std::to_string(i + 1) + "=" + ToHex(state.keys[i]) + "\n";
  }
  text += "dial=" + ToHex(&state.dial, 1) + "\n";
  text += "h24=" + ToHex(&state.h24, 1) + "\n";
  for (int i = 0; i < kEvents; ++i) {
    text += "number" + std::to_string(i + 1) + "=" + ToHex(state.numbers[i]) + "\n";
  }
  return text;
}

std::optional<PanelState> ParseState(std::string_view text, std::string& error) {
  PanelState state;
  PanelState seenMarker;  // a byte set to 1 marks a field already given
  int lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == '#') continue;

    auto fail = [&](const std::string& why) {
      error = "line " + std::to_string(lineNumber) + ": " + why;
      return std::nullopt;
    };
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) return fail("expected name=value");
    std::string_view name = Trim(line.substr(0, equals));
    std::string_view value = Trim(line.substr(equals + 1));
    std::optional<Field> field = FieldByName(state, name);
    // Appended, not added: GCC 12 misreads a sum whose right side is a
    // temporary string as an overlapping copy (-Wrestrict).
    std::string quoted = "\"";
    quoted += name;
    quoted += '"';
    if (!field) {
      std::string message = "unknown name ";
      message += quoted;
      return fail(message);
    }
    Field marker = *FieldByName(seenMarker, name);
    if (marker.bytes[0] != 0) return fail(quoted + " given twice");
    marker.bytes[0] = 1;
    if (!FromHex(value, field->bytes, field->count)) {
      return fail(quoted + " needs " + std::to_string(field->count * 2) + " hexadecimal digits");
    }
  }
  state.dial &= kFlagMask;
  state.h24 &= kFlagMask;
  return state;
}

LoadResult LoadStateFile(const std::string& path, PanelState& state, std::string& error) {
  std::error_code statusError;
  const std::filesystem::file_status status = std::filesystem::status(path, statusError);
  if (status.type() == std::filesystem::file_type::not_found) return LoadResult::kMissing;
  if (std::filesystem::is_directory(status)) {
    error = path + ": is a folder, not a state file";
    return LoadResult::kRejected;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot be opened";
    return LoadResult::kRejected;
  }
  std::string text;
  char buffer[4096];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    text.append(buffer, static_cast<size_t>(in.gcount()));
    if (text.size() > kMaxStateFileSize) {
      error = path + ": too large for a state file";
      return LoadResult::kRejected;
    }
  }
  if (in.bad()) {
    error = path + ": cannot be read";
    return LoadResult::kRejected;
  }
  std::string why;
  std::optional<PanelState> parsed = ParseState(text, why);
  if (!parsed) {
    error = path + ": " + why;
    return LoadResult::kRejected;
  }
  state = *parsed;
  return LoadResult::kLoaded;
}

bool SaveStateFile(const std::string& path, const PanelState& state, std::string& error) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << FormatState(state);
    out.flush();
    if (!out) {
      error = temporary + ": cannot be written";
      out.close();
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = path + ": " + SystemErrorText(errno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}
