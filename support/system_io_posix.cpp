// system_io.h in POSIX terms: mkstemp, fsync, rename and the folder's fsync;
// descriptors named by /dev/fd and /proc; localtime_r; isatty. A mirror image
// of system_io_win32.cpp.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "platform/system_text.h"
#include "support/system_io.h"

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

mode_t ModeOf(const ReplaceOptions& options) {
  if (options.mode >= 0) return static_cast<mode_t>(options.mode);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// The temporary file for path, open for writing, its name in name.
int OpenTemporary(const std::string& path, const ReplaceOptions& options, std::string& name) {
  if (!options.temporary.empty()) {
    name = options.temporary;
    // Not through a link put in its place.
    return ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  }
  // Created here and nowhere else: mkstemp's O_CREAT | O_EXCL follows no link.
  const std::filesystem::path target(path);
  name = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  return ::mkostemp(name.data(), O_CLOEXEC);
}

bool RenameOver(const std::string& from, const std::string& to, bool exclusive,
                std::string& reason) {
  bool done = false;
  if (!exclusive) {
    done = ::rename(from.c_str(), to.c_str()) == 0;
  } else {
    // Not over a name taken meanwhile; where the file system cannot say
    // (EINVAL), looked at just before the rename.
    done = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
    if (!done && errno == EINVAL) {
      struct stat taken {};
      if (::lstat(to.c_str(), &taken) == 0)
        errno = EEXIST;
      else
        done = ::rename(from.c_str(), to.c_str()) == 0;
    }
  }
  if (!done) reason = CLibraryErrorText(errno);
  return done;
}

// The rename itself reaches the disk only with its folder. A folder that
// cannot be flushed (some file systems refuse) still holds the new file.
void SyncFolder(const std::string& path) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool WriteDescriptor(int fd, const std::string& text, std::string& reason) {
  if (WriteAll(fd, text)) return true;
  reason = CLibraryErrorText(errno);
  return false;
}

// A FIFO or a device, opened without waiting: a FIFO that nothing reads, or a
// terminal line without carrier, would hold the tool for ever without a word.
// Once open, it is written with waiting, as any output is.
bool WriteInto(const std::string& path, const struct stat& kind, const std::string& text,
               bool append, std::string& reason) {
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (append ? O_APPEND : 0));
  if (fd < 0) {
    if (errno == ENXIO && S_ISFIFO(kind.st_mode))
      reason = "nothing reads this FIFO; start the program that reads it first";
    else if (errno == ENXIO && S_ISSOCK(kind.st_mode))
      reason = "a socket, which takes no file";
    else
      reason = CLibraryErrorText(errno);
    return false;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  bool written = WriteDescriptor(fd, text, reason);
  if (::close(fd) != 0 && written) {
    reason = CLibraryErrorText(errno);
    written = false;
  }
  return written;
}

// "12" of "/dev/fd/12"; -1 for anything but a descriptor's number as the
// system spells it (no sign, no leading zero).
int NumberAfter(std::string_view path, std::string_view prefix) {
  if (!path.starts_with(prefix)) return -1;
  path.remove_prefix(prefix.size());
  if (path.empty() || path.size() > 9 || (path.size() > 1 && path.front() == '0')) return -1;
  int number = -1;
  const auto [end, error] = std::from_chars(path.data(), path.data() + path.size(), number);
  return error == std::errc() && end == path.data() + path.size() ? number : -1;
}

}  // namespace

bool ReplaceFileWhole(const std::string& path, const std::string& text,
                      const ReplaceOptions& options, std::string& reason) {
  std::string name;
  const int fd = OpenTemporary(path, options, name);
  if (fd < 0) {
    reason = CLibraryErrorText(errno);
    return false;
  }
  // Not every file system keeps modes (a FAT memory stick refuses): the file
  // is written all the same.
  ::fchmod(fd, ModeOf(options));
  bool done = WriteAll(fd, text) && ::fsync(fd) == 0;
  if (!done) reason = CLibraryErrorText(errno);
  if (::close(fd) != 0 && done) {
    reason = CLibraryErrorText(errno);
    done = false;
  }
  if (done) done = RenameOver(name, path, options.exclusive, reason);
  if (!done) {
    ::unlink(name.c_str());
    return false;
  }
  SyncFolder(path);
  return true;
}

int DescriptorNamed(const std::string& path) {
  if (path == "/dev/stdin") return 0;
  if (path == "/dev/stdout") return 1;
  if (path == "/dev/stderr") return 2;
  const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
  for (const std::string_view prefix :
       {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/"),
        std::string_view("/proc/thread-self/fd/"), std::string_view(own)}) {
    if (const int number = NumberAfter(path, prefix); number >= 0) return number;
  }
  return -1;
}

// A link is followed: the file it names is replaced in its own folder and
// the link stays, as "sed -i --follow-symlinks" does; a link to nothing is
// refused.
bool WriteOutputFile(const std::string& path, const std::string& text, bool exclusive,
                     std::string& reason) {
  // What the shell opened there is written into: opened anew, a standard
  // output closed (and kept on /dev/null) would take the text and lose it.
  if (const int fd = DescriptorNamed(path); fd >= 0 && !exclusive)
    return WriteDescriptor(fd, text, reason);
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0) {
    if (errno != ENOENT) {
      reason = CLibraryErrorText(errno);
      return false;
    }
    ReplaceOptions options;
    options.exclusive = exclusive;
    return ReplaceFileWhole(path, text, options, reason);
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
  if (!S_ISREG(target.st_mode)) return WriteInto(path, target, text, false, reason);
  if (!S_ISLNK(link.st_mode)) return ReplaceFileWhole(path, text, {}, reason);
  // Another process's descriptor: what it has open is written into, at its
  // end.
  if (path.starts_with("/proc/")) return WriteInto(path, target, text, true, reason);
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) {
    reason = CLibraryErrorText(errno);
    return false;
  }
  const std::string real = resolved;
  std::free(resolved);
  return ReplaceFileWhole(real, text, {}, reason);
}

std::tm LocalCalendar(std::time_t time) {
  std::tm calendar{};
  ::localtime_r(&time, &calendar);
  return calendar;
}

std::tm UtcCalendar(std::time_t time) {
  std::tm calendar{};
  ::gmtime_r(&time, &calendar);
  return calendar;
}

bool IsTerminal(int descriptor) {
  return ::isatty(descriptor) != 0;
}
