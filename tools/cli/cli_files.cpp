#include "tools/cli/cli_files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>

#include "panel/settings_file.h"
#include "panel/settings_file_fault.h"
#include "platform/system_text.h"
#include "support/system_io.h"
#include "tools/cli/exit_codes.h"

std::string BackupText(const PanelImage& image, const CliContext& cx) {
  return FormatSettingsFile(image, BackupHeader(cx.port, IsoTimeNow()));
}

namespace {

// After any output that failed: the panel is unchanged, only its reading is
// lost.
constexpr const char* kReadAgain =
    "the panel was read, but its settings were not saved: read again once the output can take "
    "them";

}  // namespace

int Emit(const std::string& text, const CliContext& cx) {
  // -o /dev/stdout is standard output itself, with its checks: opened anew,
  // a standard output that was closed (and is kept on /dev/null) would take
  // the settings and lose them.
  if (cx.output.empty() || DescriptorNamed(cx.output) == 1) {
    errno = 0;
    *cx.out << text;
    cx.out->flush();
    if (*cx.out) return kExitOk;
    // A closed standard output is kept on /dev/null for reading only.
    const int code = errno;
    const std::string why = code == 0 || code == EBADF ? "it is closed" : CLibraryErrorText(code);
    const std::string shown =
        cx.output.empty() ? "standard output" : cx.output + " (standard output)";
    Tell(*cx.err, "cannot write the settings to " + shown + ": " + why + "\n" + kReadAgain);
    return kExitCannotWrite;
  }
  std::string reason;
  if (WriteOutputFile(cx.output, text, false, reason)) return kExitOk;
  Tell(*cx.err, "cannot write " + cx.output + ": " + reason + "\n" + kReadAgain);
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
      Tell(*cx.err, "cannot read " + shown + ": " + CLibraryErrorText(errno));
      return kExitUsage;
    }
    stream = &opened;
  }
  // Endless input (a device, a pipe that never closes) stops at the limit.
  char chunk[4096];
  while (text.size() <= kSettingsFileLimit && stream->read(chunk, sizeof chunk).gcount() > 0)
    text.append(chunk, static_cast<size_t>(stream->gcount()));
  if (stream->bad()) {
    Tell(*cx.err, "cannot read " + shown);
    return kExitUsage;
  }
  const SettingsVerdict verdict = JudgeSettingsFile(text);
  const std::string plainText = ": save it as UTF-8 or ASCII text with LF or CR LF line ends";
  switch (verdict.fault.kind) {
    case SettingsFault::kNone:
      image = verdict.image;
      return kExitOk;
    case SettingsFault::kTooLarge:
      Tell(*cx.err, shown + " is larger than 1 MiB: no settings file");
      break;
    case SettingsFault::kSettingsStore:
      Tell(*cx.err, shown +
                        " is the window's settings store, not a settings file of a panel: "
                        "nothing was sent\na panel's settings file is made by reading the panel: " +
                        kProgramName + " read -o FILE");
      break;
    case SettingsFault::kUtf16:
      Tell(*cx.err, shown + " is in UTF-16" + plainText);
      break;
    case SettingsFault::kCrOnlyLineEnds:
      Tell(*cx.err, shown + " has CR-only line ends" + plainText);
      break;
    case SettingsFault::kNotText:
      Tell(*cx.err, shown + " holds binary data, not text: it is no settings file");
      break;
    default:
      Tell(*cx.err, shown + ": " + verdict.message);
      break;
  }
  return kExitUsage;
}
