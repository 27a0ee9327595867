// The window state kept in the registry of the current user, through the real
// registry: what a user of the Windows program gets between two runs.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/form_state.h"
#include "unit/support/form_window_double.h"

namespace {

// A window name of its own, so that a developer's saved window state is left
// alone.
constexpr const char* kWindow = "fOrvexTestRun";
constexpr const char* kKey = "SOFTWARE\\NolvarGSM\\Forms\\fOrvexTestRun";

struct RegistryFormState : ::testing::Test {
  void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kKey); }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kKey); }

  static FakeWindow Designed() {
    FakeWindow w;
    w.name = kWindow;
    for (int i = 1; i <= 6; ++i) w.Find("Call" + std::to_string(i)).checked = true;
    return w;
  }

  // Name -> type of every value under the window's key, in no order.
  static std::map<std::string, DWORD> StoredTypes() {
    std::map<std::string, DWORD> types;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return types;
    for (DWORD i = 0;; ++i) {
      char name[256];
      DWORD length = sizeof name;
      DWORD type = 0;
      if (RegEnumValueA(key, i, name, &length, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
        break;
      types[std::string(name, length)] = type;
    }
    RegCloseKey(key);
    return types;
  }

  static void Put(const std::string& name, DWORD type, const std::string& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
  }
};

TEST_F(RegistryFormState, TheFirstRunCreatesTheKeyAndTheEndStores26ValuesOfTheirTypes) {
  FakeWindow window = Designed();
  LoadFormState(window);
  EXPECT_EQ(window.journal, std::vector<std::string>{"SetCentredPlacement"});
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS)
      << "the load creates the key";
  RegCloseKey(key);

  SaveFormState(window);
  const std::map<std::string, DWORD> types = StoredTypes();
  EXPECT_EQ(types.size(), 26u);
  const std::string w = kWindow;
  for (const char* suffix : {".Left", ".Top", ".Height", ".Width", ".WindowState"})
    EXPECT_EQ(types.count(w + suffix) ? types.at(w + suffix) : REG_NONE, DWORD{REG_DWORD})
        << suffix;
  for (std::string name : {"cb1.Text", "e1.Text", "NumE1.Text", "NumE6.Text"})
    EXPECT_EQ(types.count(name) ? types.at(name) : REG_NONE, DWORD{REG_SZ}) << name;
  for (std::string name : {"xCon.Checked", "Call1.Checked", "H246.Checked"})
    EXPECT_EQ(types.count(name) ? types.at(name) : REG_NONE, DWORD{REG_DWORD}) << name;
}

TEST_F(RegistryFormState, AValueOfTheWrongTypeStopsTheLoadThere) {
  FakeWindow saved = Designed();
  SaveFormState(saved);
  const std::string w = kWindow;
  // ".Width" as a 4-byte text: the size of a number, but not a number.
  Put(w + ".Width", REG_SZ, std::string("800\0", 4));
  FakeWindow window = Designed();
  try {
    LoadFormState(window);
    ADD_FAILURE() << "loaded";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(std::string(e.what()), "Invalid data type for '" + w + ".Width'");
  }
  EXPECT_EQ(window.journal, (std::vector<std::string>{"SetMaximized(0)", "SetLeft(100)",
                                                      "SetTop(50)", "SetHeight(480)"}));

  SaveFormState(saved);
  const DWORD number = 5;
  Put("NumE3.Text", REG_DWORD, std::string(reinterpret_cast<const char*>(&number), 4));
  FakeWindow other = Designed();
  try {
    LoadFormState(other);
    ADD_FAILURE() << "loaded";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'NumE3.Text'");
  }
  EXPECT_EQ(other.journal.back(), "NumE2.SetText()");
}

TEST_F(RegistryFormState, AnExpandableTextIsRestoredUnexpanded) {
  Put("cb1.Text", REG_EXPAND_SZ, std::string("%COMPORT%\0", 10));
  FakeWindow window = Designed();
  LoadFormState(window);
  EXPECT_EQ(window.Find("cb1").text, "%COMPORT%");
}

}  // namespace
