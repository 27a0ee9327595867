#pragma once
// The per-user settings store, shaped like the registry of the current user:
// keys named by paths, each holding named 32-bit numbers and strings.
//
// Backends, one file each: the real registry under HKEY_CURRENT_USER on
// Windows (registry_win32.cpp); on POSIX a text file in the format of REGEDIT4
// exports (registry_file_posix.cpp, see registry_file.h).
//
// Texts passed in and out (key paths, value names, string values) are UTF-8,
// whatever the backend keeps: the Win32 backend converts at its edge. Value
// names are matched without regard to letter case, as the registry matches
// them.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

// A failure of the settings store. Its message is the one the user sees.
class ERegistryException : public std::runtime_error {
 public:
  explicit ERegistryException(const std::string& message, std::string detail = {})
      : std::runtime_error(message), detail_(std::move(detail)) {}

  // What the operating system said, when it said anything (a path and the
  // system's text); empty otherwise. The message stays the store's own.
  const std::string& Detail() const { return detail_; }

 private:
  std::string detail_;
};

// "Invalid data type for '<name>'": the value exists with another type.
ERegistryException InvalidDataType(std::string_view valueName);
// "Failed to set data for '<name>'": the key cannot be written.
ERegistryException FailedToSetData(std::string_view valueName, std::string detail = {});
// "Failed to get data for '<name>'": the value is missing or cannot be read.
ERegistryException FailedToGetData(std::string_view valueName, std::string detail = {});

// A settings file that cannot be understood: it is neither read nor
// overwritten until the user repairs or removes it.
class ESettingsFileError : public ERegistryException {
 public:
  ESettingsFileError(std::string path, int line, const std::string& reason);

  const std::string& Path() const { return path_; }
  int Line() const { return line_; }  // 1-based; 0 when no one line is at fault

 private:
  std::string path_;
  int line_;
};

// One open key. Closing is the object's destruction: the registry access is
// released on every way out, exceptions included.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;

  virtual bool ValueExists(const std::string& name) = 0;
  // Raise InvalidDataType when the value is not a 32-bit number (REG_DWORD).
  virtual int32_t ReadInteger(const std::string& name) = 0;
  // Raise InvalidDataType when the value is not a string (REG_SZ, or
  // REG_EXPAND_SZ taken as it is, unexpanded).
  virtual std::string ReadString(const std::string& name) = 0;
  // Raise FailedToSetData when the key cannot be written. A string ends at
  // its first zero byte, as a REG_SZ does.
  virtual void WriteInteger(const std::string& name, int32_t value) = 0;
  virtual void WriteString(const std::string& name, const std::string& value) = 0;
  // Removes the value; nothing when it is not there. Raises FailedToSetData
  // as the writes do.
  virtual void DeleteValue(const std::string& name) = 0;
  // Makes the writes so far lasting; raises FailedToSetData (naming the first
  // value not yet stored) or ESettingsFileError when it cannot. A store that
  // writes through has nothing to do here; a key destroyed without Commit may
  // drop the writes since the last one.
  virtual void Commit() = 0;

  // Why the key could not be opened (a file that cannot be read, with the
  // system's words); empty when it was opened, or simply does not exist yet.
  virtual std::string OpenFault() const { return {}; }

  // Booleans are numbers: 1 for true, 0 for false; any non-zero reads true.
  bool ReadBool(const std::string& name) { return ReadInteger(name) != 0; }
  void WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }
};

class RegistryStore {
 public:
  virtual ~RegistryStore() = default;

  // Opens the key at path under the current user; a path that starts with
  // "\" is taken from the root (all paths are). With canCreate the key is
  // opened for reading and writing and created when missing; without, it is
  // opened for reading only. A key that cannot be opened is still returned:
  // it holds no values and every write to it fails, so that a caller who does
  // not look finds nothing to restore and learns of the fault on its first
  // write. Raises ESettingsFileError when the store itself cannot be
  // understood.
  virtual std::unique_ptr<RegistryKey> OpenKey(const std::string& path, bool canCreate) = 0;
};

// The platform's store: the registry of the current user on Windows, the
// user's settings file elsewhere.
RegistryStore& DefaultRegistryStore();

// The key path without the leading "\" that marks it as taken from the root,
// and without a trailing "\".
std::string_view RelativeKeyPath(std::string_view path);

// Compares two names in code page 1251 as the registry does: letters a to z
// and the Cyrillic letters of the code page match their other case.
bool SameRegistryName(std::string_view a, std::string_view b);
