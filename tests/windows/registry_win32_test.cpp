// The settings store over the registry of the current user.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/registry_key.h"

namespace {

// Everything these tests write lies below this key, removed after each test.
constexpr const char* kTestRoot = "SOFTWARE\\NolvarGSM\\Tests";
// The key under test, as the registry names it and as the store is given it.
constexpr const char* kStore = "SOFTWARE\\NolvarGSM\\Tests\\Store";
const std::string kKeyPath = "\\SOFTWARE\\NolvarGSM\\Tests\\Store";

struct RegistryStoreTest : ::testing::Test {
  void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot); }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot); }

  // Puts a value in place as another program (or an older version) may have.
  static void Put(const std::string& name, DWORD type, const std::string& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kStore, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(
        RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size())),
        ERROR_SUCCESS);
    RegCloseKey(key);
  }
  // The type and the bytes of a stored value, as the registry holds them.
  static std::pair<DWORD, std::string> Stored(const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kStore, 0, KEY_READ, &key) != ERROR_SUCCESS)
      return {REG_NONE, "no key"};
    DWORD type = REG_NONE;
    DWORD size = 0;
    std::string bytes;
    const std::wstring wideName(name.begin(), name.end());  // ASCII names only
    if (RegQueryValueExW(key, wideName.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
      bytes.resize(size);
      RegQueryValueExW(key, wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()),
                       &size);
      bytes.resize(size);
    } else {
      bytes = "missing";
    }
    RegCloseKey(key);
    return {type, bytes};
  }
};

std::string DwordBytes(DWORD value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

// The round trips are contracts of every store (store_contract_test.cpp);
// here, what the registry holds: numbers as REG_DWORD, texts as REG_SZ in
// UTF-16 with their zero, whatever the system's ANSI code page.
TEST_F(RegistryStoreTest, NumbersAreRegDwordAndTextsRegSzInUtf16) {
  {
    auto key = DefaultRegistryStore().OpenKey(kKeyPath, true);
    key->WriteInteger("n", -1);
    key->WriteBool("yes", true);
    key->WriteString("t", "Пароль Ø");
  }
  EXPECT_EQ(Stored("n"), std::make_pair(DWORD{REG_DWORD}, DwordBytes(0xFFFFFFFF)));
  EXPECT_EQ(Stored("yes"), std::make_pair(DWORD{REG_DWORD}, DwordBytes(1)));
  const std::wstring wide = L"\x041F\x0430\x0440\x043E\x043B\x044C \x00D8";
  const std::string bytes(reinterpret_cast<const char*>(wide.c_str()),
                          (wide.size() + 1) * sizeof(wchar_t));
  EXPECT_EQ(Stored("t"), std::make_pair(DWORD{REG_SZ}, bytes));
}

struct WrongType {
  const char* what;
  DWORD type;
  std::string bytes;
  bool asNumber;  // read with ReadInteger, else with ReadString
};

TEST_F(RegistryStoreTest, AValueOfAnotherTypeIsRefusedWhateverItsSize) {
  const WrongType cases[] = {
      // Four bytes, the size of a number: only the type tells.
      {"text of 3 letters", REG_SZ, std::string("abc\0", 4), true},
      {"text of 1 digit", REG_SZ, std::string("1\0", 2), true},
      {"expandable text", REG_EXPAND_SZ, std::string("%a%\0", 4), true},
      {"4 binary bytes", REG_BINARY, DwordBytes(7), true},
      {"big-endian number", REG_DWORD_BIG_ENDIAN, DwordBytes(7), true},
      {"64-bit number", REG_QWORD, std::string(8, '\0'), true},
      {"number", REG_DWORD, DwordBytes(0x00434241), false},  // "ABC" and a zero
      {"binary text", REG_BINARY, std::string("COM2\0", 5), false},
      {"text list", REG_MULTI_SZ, std::string("COM2\0\0", 6), false},
  };
  for (const WrongType& c : cases) {
    Put("v", c.type, c.bytes);
    auto key = DefaultRegistryStore().OpenKey(kKeyPath, true);
    EXPECT_TRUE(key->ValueExists("v")) << c.what;
    try {
      if (c.asNumber) {
        key->ReadInteger("v");
      } else {
        key->ReadString("v");
      }
      ADD_FAILURE() << c.what << " was read";
    } catch (const ERegistryException& e) {
      EXPECT_STREQ(e.what(), "Invalid data type for 'v'") << c.what;
    }
  }
}

TEST_F(RegistryStoreTest, AnExpandableTextIsTakenAsItIs) {
  Put("e", REG_EXPAND_SZ, std::string("%SystemRoot%\\COM2\0", 18));
  auto key = DefaultRegistryStore().OpenKey(kKeyPath, false);
  EXPECT_EQ(key->ReadString("e"), "%SystemRoot%\\COM2");
}

TEST_F(RegistryStoreTest, ATextStoredWithoutItsZeroIsReadWhole) {
  Put("z", REG_SZ, "COM7");
  auto key = DefaultRegistryStore().OpenKey(kKeyPath, false);
  EXPECT_EQ(key->ReadString("z"), "COM7");
}

TEST_F(RegistryStoreTest, TheKeyPathIsTakenFromTheRootOfTheUsersHive) {
  DefaultRegistryStore().OpenKey(kKeyPath + "\\Deeper\\", true)->WriteInteger("x", 1);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\NolvarGSM\\Tests\\Store\\Deeper", 0,
                          KEY_READ, &key),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST_F(RegistryStoreTest, AKeyOpenedForReadingIsNeverCreated) {
  auto key = DefaultRegistryStore().OpenKey(kKeyPath + "\\Missing", false);
  try {
    key->WriteString("cb1.Text", "COM2");
    ADD_FAILURE() << "written";
  } catch (const ERegistryException& e) {
    EXPECT_FALSE(e.Detail().empty()) << "the system's reason";
  }
  HKEY created = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\NolvarGSM\\Tests\\Store\\Missing", 0,
                          KEY_READ, &created),
            ERROR_SUCCESS);
}

}  // namespace
