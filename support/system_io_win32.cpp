// system_io.h in Win32 terms: _open, _commit and MoveFileExA with write
// through; devices named by the device namespace and the DOS device names;
// localtime_s; _isatty. A mirror image of system_io_posix.cpp.
//
// Paths are the ANSI text of the command line, as _open and the -A calls
// take them.

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <random>
#include <string_view>

#include "platform/system_text.h"
#include "support/system_io.h"

namespace {

bool WriteAll(int fd, const std::string& text) {
  for (size_t done = 0; done < text.size();) {
    const int n = ::_write(fd, text.data() + done, static_cast<unsigned>(text.size() - done));
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Windows keeps no permission bits beyond read-only, and a file replaced is
// one its user goes on changing: the new file stays writable whatever the
// mode asked.
int ModeOf(const ReplaceOptions&) {
  return _S_IREAD | _S_IWRITE;
}

// The temporary file for path, open for writing, its name in name.
int OpenTemporary(const std::string& path, const ReplaceOptions& options, std::string& name) {
  if (!options.temporary.empty()) {
    name = options.temporary;
    return ::_open(name.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                   ModeOf(options));
  }
  // A name nobody can guess beside path, created here or not at all.
  std::random_device random;
  char suffix[24];
  std::snprintf(suffix, sizeof suffix, ".%08x%08x", random(), random());
  const size_t separator = path.find_last_of("\\/:");
  const size_t start = separator == std::string::npos ? 0 : separator + 1;
  // Appended, not summed: mingw's GCC 12 misreads the sum as an overlapping
  // copy (-Wrestrict).
  name = path.substr(0, start);
  name += '.';
  name += path.substr(start);
  name += suffix;
  return ::_open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                 ModeOf(options));
}

bool RenameOver(const std::string& from, const std::string& to, bool exclusive,
                std::string& reason) {
  // Without MOVEFILE_REPLACE_EXISTING the rename itself refuses a name taken
  // meanwhile.
  const DWORD flags = (exclusive ? 0 : MOVEFILE_REPLACE_EXISTING) | MOVEFILE_WRITE_THROUGH;
  if (::MoveFileExA(from.c_str(), to.c_str(), flags)) return true;
  reason = SystemErrorText(static_cast<int>(::GetLastError()));
  return false;
}

// MOVEFILE_WRITE_THROUGH returns only once the rename is on the disk: the
// folder has nothing left to flush.
void SyncFolder(const std::string&) {}

bool WriteDescriptor(int fd, const std::string& text, std::string& reason) {
  if (WriteAll(fd, text)) return true;
  reason = CLibraryErrorText(errno);
  return false;
}

// A device (NUL, CON, a named pipe): written into, never replaced. Opening a
// device does not wait for a reader: a pipe with no server is refused at once.
bool WriteInto(const std::string& path, const std::string& text, bool append, std::string& reason) {
  const int fd = ::_open(path.c_str(), _O_WRONLY | _O_BINARY | (append ? _O_APPEND : 0));
  if (fd < 0) {
    reason = CLibraryErrorText(errno);
    return false;
  }
  bool written = WriteDescriptor(fd, text, reason);
  if (::_close(fd) != 0 && written) {
    reason = CLibraryErrorText(errno);
    written = false;
  }
  return written;
}

// "\\.\pipe\backup", or NUL, CON, COM3 and the like, which name a device in
// every folder and with any extension.
bool NamesDevice(const std::string& path) {
  if (path.starts_with("\\\\.\\") || path.starts_with("//./")) return true;
  const size_t separator = path.find_last_of("\\/:");
  std::string stem = path.substr(separator == std::string::npos ? 0 : separator + 1);
  stem = stem.substr(0, stem.find('.'));
  for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (stem == "CON" || stem == "NUL" || stem == "PRN" || stem == "AUX") return true;
  return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
         stem[3] >= '1' && stem[3] <= '9';
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
  bool done = WriteAll(fd, text) && ::_commit(fd) == 0;
  if (!done) reason = CLibraryErrorText(errno);
  if (::_close(fd) != 0 && done) {
    reason = CLibraryErrorText(errno);
    done = false;
  }
  if (done) done = RenameOver(name, path, options.exclusive, reason);
  if (!done) {
    std::remove(name.c_str());
    return false;
  }
  SyncFolder(path);
  return true;
}

// Windows names no descriptor by a path: CON is the console, whatever
// standard output leads to.
int DescriptorNamed(const std::string&) {
  return -1;
}

bool WriteOutputFile(const std::string& path, const std::string& text, bool exclusive,
                     std::string& reason) {
  if (NamesDevice(path)) {
    if (!exclusive) return WriteInto(path, text, false, reason);
    reason = CLibraryErrorText(EEXIST);
    return false;
  }
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      reason = SystemErrorText(static_cast<int>(error));
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
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    reason = CLibraryErrorText(EISDIR);
    return false;
  }
  return ReplaceFileWhole(path, text, {}, reason);
}

std::tm LocalCalendar(std::time_t time) {
  std::tm calendar{};
  ::localtime_s(&calendar, &time);
  return calendar;
}

std::tm UtcCalendar(std::time_t time) {
  std::tm calendar{};
  ::gmtime_s(&calendar, &time);
  return calendar;
}

bool IsTerminal(int descriptor) {
  return ::_isatty(descriptor) != 0;
}
