#include "tools/cli/cli_files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>

#include "panel/settings_file.h"
#include "tools/cli/exit_codes.h"

// The C library's errno (files and streams), which on Windows numbers other
// errors than GetLastError: not the system formatter of the serial port.
std::string SystemText(int code) {
  return std::strerror(code);
}

// The offset is worked out from the two calendars, since strftime's %z gives
// the zone's name on Windows.
std::string IsoTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  std::tm utc{};
#ifdef _WIN32
  localtime_s(&local, &now);
  gmtime_s(&utc, &now);
#else
  localtime_r(&now, &local);
  gmtime_r(&now, &utc);
#endif
  int days = local.tm_yday - utc.tm_yday;
  if (local.tm_year != utc.tm_year) days = local.tm_year > utc.tm_year ? 1 : -1;
  const int minutes = days * 1440 + (local.tm_hour - utc.tm_hour) * 60 + local.tm_min - utc.tm_min;
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                minutes < 0 ? '-' : '+', std::abs(minutes) / 60, std::abs(minutes) % 60);
  return text;
}

std::string BackupText(const PanelImage& image, const CliContext& cx) {
  const std::string header = std::string(kProgramName) + " " + ORVEX_VERSION +
                             ", the \"Orvex GSM\" panel\nport: " + cx.port +
                             "\nread: " + IsoTimeNow();
  return FormatSettingsFile(image, header);
}

// The file appears whole or not at all: a backup cut short by a full disk
// must not replace the one before it.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& reason,
                         bool exclusive) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (!file) {
      reason = SystemText(errno);
      return false;
    }
    file << text;
    file.flush();
    if (!file) {
      reason = SystemText(errno);
      file.close();
      std::remove(temporary.c_str());
      return false;
    }
  }
  std::error_code ec;
  // Looked at just before the rename: hard links, which would refuse a taken
  // name by themselves, do not exist on the FAT sticks backups are kept on.
  if (exclusive && std::filesystem::exists(path, ec))
    ec = std::make_error_code(std::errc::file_exists);
  else
    std::filesystem::rename(temporary, path, ec);
  if (ec) {
    reason = ec.message();
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

int Emit(const std::string& text, const CliContext& cx) {
  if (cx.output.empty()) {
    *cx.out << text;
    cx.out->flush();
    if (*cx.out) return kExitOk;
    Tell(*cx.err, "cannot write the settings to standard output");
    return kExitCannotWrite;
  }
  std::string reason;
  if (WriteFileAtomically(cx.output, text, reason)) return kExitOk;
  Tell(*cx.err, "cannot write " + cx.output + ": " + reason);
  return kExitCannotWrite;
}

int LoadSettingsFile(const std::string& file, const CliContext& cx, PanelImage& image) {
  const std::string shown = file == "-" ? "standard input" : file;
  std::string text;
  std::istream* stream = cx.in;
  std::ifstream opened;
  if (file != "-") {
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec)) {
      Tell(*cx.err, shown + " is a directory, not a settings file");
      return kExitUsage;
    }
    opened.open(file, std::ios::binary);
    if (!opened) {
      Tell(*cx.err, "cannot read " + shown + ": " + SystemText(errno));
      return kExitUsage;
    }
    stream = &opened;
  }
  // Endless input (a device, a pipe that never closes) stops at the limit.
  char chunk[4096];
  while (text.size() <= kSettingsFileLimit && stream->read(chunk, sizeof chunk).gcount() > 0)
    text.append(chunk, static_cast<size_t>(stream->gcount()));
  if (text.size() > kSettingsFileLimit) {
    Tell(*cx.err, shown + " is larger than 1 MiB: no settings file");
    return kExitUsage;
  }
  if (stream->bad()) {
    Tell(*cx.err, "cannot read " + shown);
    return kExitUsage;
  }
  try {
    image = ParseSettingsFile(text);
  } catch (const SettingsFileError& e) {
    Tell(*cx.err, shown + ": " + e.what());
    return kExitUsage;
  }
  return kExitOk;
}
