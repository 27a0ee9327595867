// The settings store over the registry of the current user (HKEY_CURRENT_USER).
// Every write goes straight to the registry, so Commit has nothing to do.
//
// The store speaks UTF-8; the registry is spoken to in UTF-16 (the wide
// calls), so that texts do not depend on the system's ANSI code page.

#include <windows.h>

#include <string>

#include "platform/system_text.h"
#include "platform/wide_text.h"
#include "support/registry_key.h"

namespace {

// The registry's texts and error texts, converted at the system's edge as
// everywhere else.
std::wstring Wide(const std::string& utf8) {
  return WideFromUtf8(utf8);
}

std::string Utf8(const wchar_t* wide, size_t length) {
  return Utf8FromWide(wide, length);
}

std::string RegistryErrorText(LONG error) {
  return SystemErrorText(static_cast<int>(error));
}

class Win32Key : public RegistryKey {
 public:
  Win32Key(HKEY key, bool writable, std::string whyNotOpen)
      : key_(key), writable_(writable), whyNotOpen_(std::move(whyNotOpen)) {}
  Win32Key(const Win32Key&) = delete;
  Win32Key& operator=(const Win32Key&) = delete;
  ~Win32Key() override {
    if (key_ != nullptr) RegCloseKey(key_);
  }

  bool ValueExists(const std::string& name) override {
    return key_ != nullptr && RegQueryValueExW(key_, Wide(name).c_str(), nullptr, nullptr, nullptr,
                                               nullptr) == ERROR_SUCCESS;
  }

  int32_t ReadInteger(const std::string& name) override {
    DWORD type = 0;
    DWORD size = 0;
    Query(name, type, size);
    DWORD value = 0;
    if (type != REG_DWORD || size != sizeof value) throw InvalidDataType(name);
    const LONG result = RegQueryValueExW(key_, Wide(name).c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(&value), &size);
    if (result != ERROR_SUCCESS) throw FailedToGetData(name, RegistryErrorText(result));
    if (type != REG_DWORD || size != sizeof value) throw InvalidDataType(name);
    return static_cast<int32_t>(value);
  }

  // REG_EXPAND_SZ is taken as it is: its references are not expanded.
  std::string ReadString(const std::string& name) override {
    const std::wstring wideName = Wide(name);
    for (int attempt = 0; attempt < 8; ++attempt) {
      DWORD type = 0;
      DWORD size = 0;
      Query(name, type, size);
      if (type != REG_SZ && type != REG_EXPAND_SZ) throw InvalidDataType(name);
      // Room for a zero that the stored data may lack, and for an odd size.
      std::wstring data(static_cast<size_t>(size) / sizeof(wchar_t) + 2, L'\0');
      DWORD got = size;
      const LONG result = RegQueryValueExW(key_, wideName.c_str(), nullptr, &type,
                                           reinterpret_cast<BYTE*>(data.data()), &got);
      // The value grew between the two calls: ask for its size again.
      if (result == ERROR_MORE_DATA) continue;
      if (result != ERROR_SUCCESS) throw FailedToGetData(name, RegistryErrorText(result));
      if (type != REG_SZ && type != REG_EXPAND_SZ) throw InvalidDataType(name);
      data.resize(got / sizeof(wchar_t));
      const size_t end = data.find(L'\0');
      return Utf8(data.c_str(), end == std::wstring::npos ? data.size() : end);
    }
    throw FailedToGetData(name, RegistryErrorText(ERROR_MORE_DATA));
  }

  void WriteInteger(const std::string& name, int32_t value) override {
    const DWORD data = static_cast<DWORD>(value);
    Set(name, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
  }

  void WriteString(const std::string& name, const std::string& value) override {
    // The text with its terminating zero; a zero inside ends it, as it ends a
    // REG_SZ for every reader.
    const std::wstring text = Wide(value.substr(0, value.find('\0')));
    Set(name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }

  void DeleteValue(const std::string& name) override {
    if (key_ == nullptr) throw FailedToSetData(name, whyNotOpen_);
    if (!writable_) throw FailedToSetData(name, "opened for reading only");
    const LONG result = RegDeleteValueW(key_, Wide(name).c_str());
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
      throw FailedToSetData(name, RegistryErrorText(result));
  }

  void Commit() override {}

 private:
  void Query(const std::string& name, DWORD& type, DWORD& size) {
    if (key_ == nullptr) throw FailedToGetData(name, whyNotOpen_);
    const LONG result = RegQueryValueExW(key_, Wide(name).c_str(), nullptr, &type, nullptr, &size);
    if (result != ERROR_SUCCESS) throw FailedToGetData(name, RegistryErrorText(result));
  }

  void Set(const std::string& name, DWORD type, const BYTE* data, DWORD size) {
    if (key_ == nullptr) throw FailedToSetData(name, whyNotOpen_);
    if (!writable_) throw FailedToSetData(name, "opened for reading only");
    const LONG result = RegSetValueExW(key_, Wide(name).c_str(), 0, type, data, size);
    if (result != ERROR_SUCCESS) throw FailedToSetData(name, RegistryErrorText(result));
  }

  HKEY key_;
  bool writable_;
  std::string whyNotOpen_;
};

class Win32Store : public RegistryStore {
 public:
  std::unique_ptr<RegistryKey> OpenKey(const std::string& path, bool canCreate) override {
    // The registry wants the path without the backslash that marks it as
    // taken from the root of the hive.
    const std::wstring relative = Wide(std::string(RelativeKeyPath(path)));
    HKEY key = nullptr;
    const LONG result =
        canCreate ? RegCreateKeyExW(HKEY_CURRENT_USER, relative.c_str(), 0, nullptr,
                                    REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr)
                  : RegOpenKeyExW(HKEY_CURRENT_USER, relative.c_str(), 0, KEY_READ, &key);
    if (result != ERROR_SUCCESS) {
      return std::make_unique<Win32Key>(nullptr, false, RegistryErrorText(result));
    }
    return std::make_unique<Win32Key>(key, canCreate, std::string());
  }
};

}  // namespace

RegistryStore& DefaultRegistryStore() {
  static Win32Store store;
  return store;
}
