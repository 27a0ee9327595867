// The settings store over the registry of the current user.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
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
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
      bytes.resize(size);
      RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()),
                       &size);
      bytes.resize(size);
    } else {
      bytes = "missing";
    }
    RegCloseKey(key);
    return {type, bytes};
  }
};

// A value name: a letter and a number.
std::string Named(char letter, long long number) {
  std::string name(1, letter);
  name += std::to_string(number);
  return name;
}

std::string DwordBytes(DWORD value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

TEST_F(RegistryStoreTest, NumbersComeBackAsWrittenAndAreStoredAsRegDword) {
  const int32_t values[] = {0, 1, -1, 100, INT32_MIN, INT32_MAX};
  {
    auto key = DefaultRegistryStore().OpenKey(kKeyPath, true);
    for (int32_t v : values) key->WriteInteger(Named('n', v), v);
    key->WriteBool("yes", true);
    key->WriteBool("no", false);
    key->Commit();
  }
  auto key = DefaultRegistryStore().OpenKey(kKeyPath, false);
  for (int32_t v : values) {
    const std::string name = Named('n', v);
    EXPECT_EQ(key->ReadInteger(name), v);
    EXPECT_EQ(Stored(name), std::make_pair(DWORD{REG_DWORD}, DwordBytes(static_cast<DWORD>(v))));
  }
  EXPECT_TRUE(key->ReadBool("yes"));
  EXPECT_FALSE(key->ReadBool("no"));
  EXPECT_EQ(Stored("yes").second, DwordBytes(1));
}

TEST_F(RegistryStoreTest, TextsComeBackByteForByteAndAreStoredAsRegSzWithTheirZero) {
  std::string cyrillic;
  for (int byte = 0xC0; byte <= 0xFF; ++byte) cyrillic += static_cast<char>(byte);
  const std::vector<std::string> texts = {
      "",
      "COM2",
      "+79001234567",
      "C:\\path \"quoted\" 100%",
      cyrillic + "\xA8\xB8\x98",  // the letters of code page 1251, Ё, ё, and 0x98
      std::string(1000, 'x'),
  };
  {
    auto key = DefaultRegistryStore().OpenKey(kKeyPath, true);
    for (size_t i = 0; i < texts.size(); ++i)
      key->WriteString(Named('t', static_cast<long long>(i)), texts[i]);
    key->WriteString("cut", std::string("before\0after", 12));
  }
  auto key = DefaultRegistryStore().OpenKey(kKeyPath, false);
  for (size_t i = 0; i < texts.size(); ++i) {
    const std::string name = Named('t', static_cast<long long>(i));
    EXPECT_EQ(key->ReadString(name), texts[i]) << name;
    EXPECT_EQ(Stored(name), std::make_pair(DWORD{REG_SZ}, texts[i] + '\0')) << name;
  }
  EXPECT_EQ(key->ReadString("cut"), "before") << "a zero byte ends a REG_SZ";
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

TEST_F(RegistryStoreTest, ValueNamesMatchWithoutRegardToLetterCase) {
  {
    auto key = DefaultRegistryStore().OpenKey(kKeyPath, true);
    key->WriteInteger("fOrvex.Left", 100);
    key->WriteString("\xCD\xEE\xEC\xE5\xF0", "1");  // "Номер"
  }
  auto key = DefaultRegistryStore().OpenKey(kKeyPath, false);
  EXPECT_TRUE(key->ValueExists("FORVEX.LEFT"));
  EXPECT_EQ(key->ReadInteger("forvex.left"), 100);
  EXPECT_TRUE(key->ValueExists("\xED\xEE\xEC\xE5\xF0"));  // "номер"
  EXPECT_FALSE(key->ValueExists("fOrvex.Top"));
}

TEST_F(RegistryStoreTest, TheKeyPathIsTakenFromTheRootOfTheUsersHive) {
  DefaultRegistryStore().OpenKey(kKeyPath + "\\Deeper\\", true)->WriteInteger("x", 1);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\NolvarGSM\\Tests\\Store\\Deeper", 0,
                          KEY_READ, &key),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST_F(RegistryStoreTest, AKeyOpenedForReadingOnlyRefusesWrites) {
  DefaultRegistryStore().OpenKey(kKeyPath, true)->WriteInteger("x", 1);
  auto key = DefaultRegistryStore().OpenKey(kKeyPath, false);
  try {
    key->WriteInteger("x", 2);
    ADD_FAILURE() << "written";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'x'");
  }
  EXPECT_EQ(key->ReadInteger("x"), 1);
}

TEST_F(RegistryStoreTest, AMissingKeyHoldsNothingAndEveryWriteToItFails) {
  auto key = DefaultRegistryStore().OpenKey(kKeyPath + "\\Missing", false);
  EXPECT_FALSE(key->ValueExists("fOrvex.Left"));
  try {
    key->WriteString("cb1.Text", "COM2");
    ADD_FAILURE() << "written";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'cb1.Text'");
    EXPECT_FALSE(e.Detail().empty()) << "the system's reason";
  }
  HKEY created = nullptr;
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\NolvarGSM\\Tests\\Store\\Missing", 0,
                          KEY_READ, &created),
            ERROR_SUCCESS)
      << "a key opened for reading is never created";
}

}  // namespace
