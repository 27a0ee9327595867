// The settings store over a REGEDIT4 text file; see registry_file.h.

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "platform/system_text.h"
#include "support/registry_file.h"
#include "support/registry_text.h"
#include "support/system_io.h"

namespace {

namespace fs = std::filesystem;

// Far beyond any settings file; a larger one is surely not ours.
constexpr off_t kMaxFileSize = 16 << 20;
// A save holds the lock for a few milliseconds; a holder that keeps it this
// long is stopped, and waiting on would hang the window.
constexpr auto kLockWait = std::chrono::seconds(10);

// "path: the system's text".
std::string PathError(const std::string& path, int error) {
  return path + ": " + SystemErrorText(error);
}

// A settings file that is a link is changed where the link points, so that
// the link stays.
std::string ResolveLink(const std::string& path) {
  std::error_code ignored;
  if (!fs::is_symlink(path, ignored)) return path;
  const fs::path target = fs::weakly_canonical(path, ignored);
  return ignored ? path : target.string();
}

class FileLock {
 public:
  FileLock() = default;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
  }

  // The lock file is never removed: a process that opened it just before a
  // removal would lock a file that nobody else sees.
  bool Take(const std::string& file, bool exclusive, std::string& error) {
    const std::string path = file + ".lock";
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
      error = PathError(path, errno);
      return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    while (flock(fd_, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
      if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() > deadline) {
        error = PathError(path, errno == EWOULDBLOCK ? ETIMEDOUT : errno);
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

 private:
  int fd_ = -1;
};

enum class ReadOutcome { kRead, kMissing, kFailed };

// The whole file through one descriptor: a save renames a new file into
// place, so what is read is one save or another, never a mix.
ReadOutcome ReadWholeFile(const std::string& path, std::string& text, std::string& error) {
  // Not blocked by a FIFO put in the file's place: it is refused below.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return ReadOutcome::kMissing;
    error = PathError(path, errno);
    return ReadOutcome::kFailed;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = path + ": not a regular file";
    close(fd);
    return ReadOutcome::kFailed;
  }
  if (info.st_size > kMaxFileSize) {
    close(fd);
    throw ESettingsFileError(path, 0, "it is larger than 16 MiB");
  }
  text.clear();
  char chunk[8192];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = PathError(path, errno);
      close(fd);
      return ReadOutcome::kFailed;
    }
    if (n == 0) break;
    text.append(chunk, static_cast<size_t>(n));
    if (text.size() > static_cast<size_t>(kMaxFileSize)) {
      close(fd);
      throw ESettingsFileError(path, 0, "it is larger than 16 MiB");
    }
  }
  close(fd);
  return ReadOutcome::kRead;
}

// Only under the exclusive lock: then the temporary name is ours alone, and
// one left behind by a process that died mid-save is simply overwritten. The
// file keeps its mode; a new one is the user's alone.
bool ReplaceFile(const std::string& path, const std::string& text, std::string& error) {
  struct stat old {};
  ReplaceOptions options;
  options.mode = stat(path.c_str(), &old) == 0 ? static_cast<int>(old.st_mode & 07777) : 0600;
  options.temporary = path + ".tmp";
  std::string reason;
  if (ReplaceFileWhole(path, text, options, reason)) return true;
  error = options.temporary + ": " + reason;
  return false;
}

// Empty when the file's folder is there (made now or before), else why not:
// the folder that cannot be made is the cause, not the lock file that then
// cannot be created in it.
std::string MakeFolder(const std::string& file) {
  std::error_code ec;
  const fs::path folder = fs::path(file).parent_path();
  if (folder.empty() || fs::create_directories(folder, ec) || !ec) return {};
  return "cannot make the folder " + folder.string() + ": " + ec.message();
}

class FileKey : public RegistryKey {
 public:
  // A key that could not be opened: no values, and writes fail with why.
  explicit FileKey(std::string whyNotOpen) : whyNotOpen_(std::move(whyNotOpen)) {}
  FileKey(std::string file, std::string keyPath, RegDocument snapshot, bool writable)
      : open_(true),
        writable_(writable),
        file_(std::move(file)),
        keyPath_(std::move(keyPath)),
        snapshot_(std::move(snapshot)) {}

  bool ValueExists(const std::string& name) override { return Find(name) != nullptr; }

  int32_t ReadInteger(const std::string& name) override {
    const RegValue* value = Find(name);
    if (value == nullptr) throw FailedToGetData(name);
    if (!value->IsNumber()) throw InvalidDataType(name);
    return static_cast<int32_t>(value->AsNumber());
  }

  std::string ReadString(const std::string& name) override {
    const RegValue* value = Find(name);
    if (value == nullptr) throw FailedToGetData(name);
    if (!value->IsText()) throw InvalidDataType(name);
    return value->AsText();
  }

  void WriteInteger(const std::string& name, int32_t value) override {
    Write(name, RegValue::Number(static_cast<uint32_t>(value)));
  }

  void WriteString(const std::string& name, const std::string& value) override {
    Write(name, RegValue::Text(value.substr(0, value.find('\0'))));
  }

  void DeleteValue(const std::string& name) override { Write(name, std::nullopt); }

  std::string OpenFault() const override { return whyNotOpen_; }

  void Commit() override {
    if (pending_.empty()) return;
    const std::string& first = pending_.front().first;
    std::string error = MakeFolder(file_);
    if (!error.empty()) throw FailedToSetData(first, error);
    FileLock lock;
    if (!lock.Take(file_, true, error)) throw FailedToSetData(first, error);
    std::string text;
    const ReadOutcome outcome = ReadWholeFile(file_, text, error);
    if (outcome == ReadOutcome::kFailed) throw FailedToSetData(first, error);
    if (outcome == ReadOutcome::kMissing) text.clear();
    RegDocument current = RegDocument::Parse(text, file_);
    for (const auto& [name, value] : pending_) {
      if (value)
        current.SetValue(keyPath_, name, *value);
      else
        current.RemoveValue(keyPath_, name);
    }
    const std::string updated = current.Serialize();
    if (updated != text && !ReplaceFile(file_, updated, error)) {
      throw FailedToSetData(first, error);
    }
    snapshot_ = std::move(current);
    pending_.clear();
  }

 private:
  const RegValue* Find(const std::string& name) const {
    return open_ ? snapshot_.FindValue(keyPath_, name) : nullptr;
  }

  // A value to set, or nothing for a removal.
  void Write(const std::string& name, const std::optional<RegValue>& value) {
    if (!open_) throw FailedToSetData(name, whyNotOpen_);
    if (!writable_) throw FailedToSetData(name, file_ + ": opened for reading only");
    if (value)
      snapshot_.SetValue(keyPath_, name, *value);
    else
      snapshot_.RemoveValue(keyPath_, name);
    pending_.emplace_back(name, value);
  }

  bool open_ = false;
  bool writable_ = false;
  std::string whyNotOpen_;
  std::string file_;
  std::string keyPath_;  // UTF-8, from the root of HKEY_CURRENT_USER
  RegDocument snapshot_;
  std::vector<std::pair<std::string, std::optional<RegValue>>> pending_;
};

class FileStore : public RegistryStore {
 public:
  explicit FileStore(std::string path) : path_(std::move(path)) {}

  std::unique_ptr<RegistryKey> OpenKey(const std::string& path, bool canCreate) override {
    const std::string file = ResolveLink(path_.empty() ? DefaultRegistryFilePath() : path_);
    if (file.empty()) return std::make_unique<FileKey>("no home folder for the settings file");
    const std::string keyPath(RelativeKeyPath(path));
    if (canCreate) {
      if (std::string why = MakeFolder(file); !why.empty())
        return std::make_unique<FileKey>(std::move(why));
    }
    std::string lockError;
    FileLock lock;
    // Without the lock (a read-only folder) a reader still sees whole files.
    const bool locked = lock.Take(file, canCreate, lockError);
    std::string text;
    std::string error;
    const ReadOutcome outcome = ReadWholeFile(file, text, error);
    if (outcome == ReadOutcome::kFailed) return std::make_unique<FileKey>(error);
    if (outcome == ReadOutcome::kMissing) text.clear();
    RegDocument doc = RegDocument::Parse(text, file);
    if (canCreate && !doc.HasKey(keyPath)) {
      if (!locked) return std::make_unique<FileKey>(lockError);
      doc.AddKey(keyPath);
      if (!ReplaceFile(file, doc.Serialize(), error)) return std::make_unique<FileKey>(error);
    }
    return std::make_unique<FileKey>(file, keyPath, std::move(doc), canCreate);
  }

 private:
  std::string path_;
};

std::optional<std::string> HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return std::string(home);
  const passwd* user = getpwuid(getuid());
  if (user != nullptr && user->pw_dir != nullptr && *user->pw_dir != '\0') return user->pw_dir;
  return std::nullopt;
}

}  // namespace

std::string DefaultRegistryFilePath() {
  // A relative XDG_CONFIG_HOME is to be ignored, as the base directory rules
  // say: it would depend on the current directory.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string folder;
  if (config != nullptr && config[0] == '/') {
    folder = config;
  } else if (const auto home = HomeFolder()) {
    folder = *home + "/.config";
  } else {
    return {};
  }
  return folder + "/NolvarGSM/user.reg";
}

std::unique_ptr<RegistryStore> MakeRegistryFileStore(std::string path) {
  return std::make_unique<FileStore>(std::move(path));
}

RegistryStore& DefaultRegistryStore() {
  static FileStore store{std::string()};
  return store;
}
