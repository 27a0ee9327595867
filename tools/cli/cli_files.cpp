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

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <random>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "panel/settings_file.h"
#include "platform/system_text.h"
#include "tools/cli/exit_codes.h"

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

#ifdef _WIN32

namespace {

// A name nobody can guess beside path, so that nothing can be planted there.
std::string TemporaryName(const std::string& path) {
  std::random_device random;
  char suffix[24];
  std::snprintf(suffix, sizeof suffix, ".%08x%08x", random(), random());
  const std::filesystem::path target(path);
  // Appended, not summed: mingw's GCC 12 misreads the sum as an overlapping
  // copy (-Wrestrict).
  std::string name(".");
  name += target.filename().string();
  name += suffix;
  return (target.parent_path() / name).string();
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& reason,
                         bool exclusive) {
  const std::string temporary = TemporaryName(path);
  {
    // Created here or not at all.
    const int fd =
        _open(temporary.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
      reason = CLibraryErrorText(errno);
      return false;
    }
    bool written = true;
    for (size_t done = 0; written && done < text.size();) {
      const int n = _write(fd, text.data() + done, static_cast<unsigned>(text.size() - done));
      written = n > 0;
      if (written) done += static_cast<size_t>(n);
    }
    const int code = errno;
    if (_close(fd) != 0 || !written) {
      reason = CLibraryErrorText(written ? errno : code);
      std::remove(temporary.c_str());
      return false;
    }
  }
  std::error_code ec;
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

#else

namespace {

bool WriteAll(int fd, const std::string& text) {
  for (size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// A device, a FIFO, or one of this process's descriptors (/dev/stdout,
// /proc/self/fd/1): written into as it is, never replaced by a file.
bool WriteInto(const std::string& path, const std::string& text, bool append, std::string& reason) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | (append ? O_APPEND : 0));
  if (fd < 0) {
    reason = CLibraryErrorText(errno);
    return false;
  }
  const bool written = WriteAll(fd, text);
  const int code = errno;
  if (::close(fd) != 0 || !written) {
    reason = CLibraryErrorText(written ? errno : code);
    return false;
  }
  return true;
}

// A name of its own beside path that nobody can foresee, created here and
// nowhere else (mkstemp: O_CREAT | O_EXCL, which follows no link).
bool ReplaceFile(const std::string& path, const std::string& text, bool exclusive,
                 std::string& reason) {
  const std::filesystem::path target(path);
  std::string name =
      (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    reason = CLibraryErrorText(errno);
    return false;
  }
  // mkstemp gives 0600; a settings file is as readable as any other file the
  // user makes.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  bool done = WriteAll(fd, text) && ::fsync(fd) == 0;
  int code = errno;
  if (::close(fd) != 0 && done) {
    done = false;
    code = errno;
  }
  if (done) {
    if (exclusive) {
      // Not over a name taken meanwhile; where the file system cannot say
      // (EINVAL), looked at just before the rename.
      done = ::renameat2(AT_FDCWD, name.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0;
      if (!done && errno == EINVAL) {
        struct stat taken {};
        if (::lstat(path.c_str(), &taken) == 0)
          errno = EEXIST;
        else
          done = ::rename(name.c_str(), path.c_str()) == 0;
      }
    } else {
      done = ::rename(name.c_str(), path.c_str()) == 0;
    }
    code = errno;
  }
  if (!done) {
    ::unlink(name.c_str());
    reason = CLibraryErrorText(code);
  }
  return done;
}

bool OneOfOurDescriptors(const std::string& path) {
  return path.starts_with("/dev/std") || path.starts_with("/dev/fd/") || path.starts_with("/proc/");
}

}  // namespace

// A regular file appears whole or not at all: a backup cut short by a full
// disk must not replace the one before it. A link is followed: the file it
// names is replaced in its own folder and the link stays, as "sed -i
// --follow-symlinks" does; a link to nothing is refused.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& reason,
                         bool exclusive) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0) {
    if (errno != ENOENT) {
      reason = CLibraryErrorText(errno);
      return false;
    }
    return ReplaceFile(path, text, exclusive, reason);
  }
  if (exclusive) {
    reason = CLibraryErrorText(EEXIST);
    return false;
  }
  struct stat target {};
  if (::stat(path.c_str(), &target) != 0) {
    reason = S_ISLNK(link.st_mode) ? "a link to nothing" : CLibraryErrorText(errno);
    return false;
  }
  if (S_ISDIR(target.st_mode)) {
    reason = CLibraryErrorText(EISDIR);
    return false;
  }
  if (!S_ISREG(target.st_mode)) return WriteInto(path, text, false, reason);
  if (!S_ISLNK(link.st_mode)) return ReplaceFile(path, text, false, reason);
  // Standard output as a file: what the shell opened is written into.
  if (OneOfOurDescriptors(path)) return WriteInto(path, text, true, reason);
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) {
    reason = CLibraryErrorText(errno);
    return false;
  }
  const std::string real = resolved;
  std::free(resolved);
  return ReplaceFile(real, text, false, reason);
}

#endif

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

namespace {

// A settings file saved by an editor in a form the parser would misread line
// by line: named as such instead of by its first odd line.
std::string UnreadableKind(const std::string& text) {
  const bool bomLittle = text.starts_with("\xFF\xFE");
  const bool bomBig = text.starts_with("\xFE\xFF");
  // ASCII in UTF-16 without a byte order mark: every other byte is zero.
  const bool zeros = text.size() >= 2 && (text[0] == '\0' || text[1] == '\0');
  if (bomLittle || bomBig || zeros) return "is in UTF-16";
  if (text.find('\r') != std::string::npos && text.find('\n') == std::string::npos)
    return "has CR-only line ends";
  return {};
}

}  // namespace

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
  if (text.size() > kSettingsFileLimit) {
    Tell(*cx.err, shown + " is larger than 1 MiB: no settings file");
    return kExitUsage;
  }
  if (stream->bad()) {
    Tell(*cx.err, "cannot read " + shown);
    return kExitUsage;
  }
  if (const std::string kind = UnreadableKind(text); !kind.empty()) {
    Tell(*cx.err,
         shown + " " + kind + ": save it as UTF-8 or ASCII text with LF or CR LF line ends");
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
