#include "command_log.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

// Local time with milliseconds: "2024-05-17 14:03:07.250".
std::string Timestamp() {
  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  char text[64] = "";
  if (const std::tm* local = std::localtime(&seconds)) {
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
  }
  char full[80];
  std::snprintf(full, sizeof full, "%s.%03d", text, static_cast<int>(ms.count()));
  return full;
}

}  // namespace

std::string EscapeBytes(std::string_view bytes) {
  std::string text;
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    if (byte == '\\') {
      text += "\\\\";
    } else if (byte >= 0x20 && byte <= 0x7E) {
      text += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      text += hex;
    }
  }
  return text;
}

bool CommandLog::Open(const std::string& path, std::string& error) {
  file_.open(path, std::ios::binary | std::ios::trunc);
  if (!file_) {
    error = path + ": cannot be created";
    return false;
  }
  path_ = path;
  return true;
}

void CommandLog::Received(std::string_view command, size_t length) {
  std::string line = EscapeBytes(command);
  if (length > command.size()) line += "\toverlong, " + std::to_string(length) + " bytes";
  if (verbose_) Note("received " + line);
  if (!file_.is_open() || write_failed_) return;
  file_ << Timestamp() << '\t' << line << '\n';
  // Flushed at once: tests read the log while the simulator runs.
  file_.flush();
  if (!file_) {
    write_failed_ = true;
    Warn(path_ + ": cannot be written; the command log stops here");
  }
}

void CommandLog::Note(std::string_view message) {
  if (!verbose_) return;
  std::string line = "orvex-gsm-sim: " + Timestamp() + " " + std::string(message) + "\n";
  std::fputs(line.c_str(), stderr);
}

void CommandLog::Warn(std::string_view message) {
  std::string line = "orvex-gsm-sim: " + std::string(message) + "\n";
  std::fputs(line.c_str(), stderr);
}
