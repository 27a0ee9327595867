// What every backend of the settings store promises, run against the
// platform's own store: the settings file on POSIX, the registry on Windows.

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "fakes/store_errors.h"
#include "form_window_double.h"
#include "store_sandbox.h"
#include "support/form_state.h"
#include "support/registry_key.h"

namespace {

// A value name: a letter and a number (built so, not by "n" + to_string, which
// mingw's GCC warns about falsely at -O3).
std::string Named(char letter, size_t number) {
  std::string name(1, letter);
  name += std::to_string(number);
  return name;
}

struct StoreContract : ::testing::Test {
  StoreSandbox sandbox;
  RegistryStore& store = DefaultRegistryStore();
};

TEST_F(StoreContract, NumbersAndUtf8TextsComeBackAsWritten) {
  const int32_t numbers[] = {0, 1, -1, 100, INT32_MIN, INT32_MAX};
  const std::vector<std::string> texts = {
      "",
      "COM2",
      "C:\\path \"quoted\" 100%",
      "Номер телефона Ёё",
      "/dev/serial/by-id/usb-Gerät_Ø_日本-if00",  // beyond code page 1251
      "\xC2\x98",                                 // U+0098, what the panel's 0x98 becomes
      std::string(1000, 'x'),
  };
  {
    auto key = store.OpenKey(StoreSandbox::kKeyPath, true);
    for (size_t i = 0; i < std::size(numbers); ++i) key->WriteInteger(Named('n', i), numbers[i]);
    key->WriteBool("yes", true);
    for (size_t i = 0; i < texts.size(); ++i) key->WriteString(Named('t', i), texts[i]);
    key->WriteString("cut", std::string("before\0after", 12));
    key->Commit();
  }
  auto key = store.OpenKey(StoreSandbox::kKeyPath, false);
  for (size_t i = 0; i < std::size(numbers); ++i)
    EXPECT_EQ(key->ReadInteger(Named('n', i)), numbers[i]);
  EXPECT_TRUE(key->ReadBool("yes"));
  for (size_t i = 0; i < texts.size(); ++i)
    EXPECT_EQ(key->ReadString(Named('t', i)), texts[i]) << i;
  EXPECT_EQ(key->ReadString("cut"), "before") << "a zero ends a text";
}

TEST_F(StoreContract, ADeletedValueIsGoneAndItsNeighboursStay) {
  {
    auto key = store.OpenKey(StoreSandbox::kKeyPath, true);
    key->WriteString("COM5", "/dev/ttyUSB0");
    key->WriteString("COM6", "/dev/ttyUSB1");
    key->Commit();
  }
  {
    auto key = store.OpenKey(StoreSandbox::kKeyPath, true);
    key->DeleteValue("com5");  // matched as a look-up matches
    key->DeleteValue("COM7");  // not there: nothing to do
    key->Commit();
  }
  auto key = store.OpenKey(StoreSandbox::kKeyPath, false);
  EXPECT_FALSE(key->ValueExists("COM5"));
  EXPECT_EQ(key->ReadString("COM6"), "/dev/ttyUSB1");
}

TEST_F(StoreContract, ValueNamesMatchWithoutRegardToLetterCase) {
  {
    auto key = store.OpenKey(StoreSandbox::kKeyPath, true);
    key->WriteInteger("fOrvex.Left", 100);
    key->WriteString("Номер", "1");
    key->Commit();
  }
  auto key = store.OpenKey(StoreSandbox::kKeyPath, false);
  EXPECT_EQ(key->ReadInteger("FORVEX.LEFT"), 100);
  EXPECT_EQ(key->ReadString("номер"), "1");
  EXPECT_FALSE(key->ValueExists("fOrvex.Top"));
}

TEST_F(StoreContract, AValueReadAsTheOtherTypeIsRefusedAndAMissingOneFails) {
  auto key = store.OpenKey(StoreSandbox::kKeyPath, true);
  key->WriteInteger("n", 7);
  key->WriteString("s", "7");
  key->Commit();
  EXPECT_EQ(ErrorOf([&] { key->ReadString("n"); }), "Invalid data type for 'n'");
  EXPECT_EQ(ErrorOf([&] { key->ReadInteger("s"); }), "Invalid data type for 's'");
  EXPECT_EQ(ErrorOf([&] { key->ReadString("none"); }), "Failed to get data for 'none'");
}

TEST_F(StoreContract, KeysOpenedForReadingTakeNoWrites) {
  {
    auto key = store.OpenKey(StoreSandbox::kKeyPath, true);
    key->WriteInteger("x", 1);
    key->Commit();
  }
  auto existing = store.OpenKey(StoreSandbox::kKeyPath, false);
  EXPECT_EQ(ErrorOf([&] { existing->WriteInteger("x", 2); }), "Failed to set data for 'x'");
  EXPECT_EQ(existing->ReadInteger("x"), 1);

  const std::string missing = std::string(StoreSandbox::kKeyPath) + "\\Missing";
  auto absent = store.OpenKey(missing, false);
  EXPECT_FALSE(absent->ValueExists("cb1.Text"));
  try {
    absent->WriteString("cb1.Text", "COM2");
    ADD_FAILURE() << "written";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'cb1.Text'");
  }
  EXPECT_FALSE(store.OpenKey(missing, false)->ValueExists("cb1.Text"));
}

TEST_F(StoreContract, EverythingTheUserLeftInTheWindowComesBackInTheNextRun) {
  FakeWindow before;
  before.name = StoreSandbox::kWindowName;
  before.bounds = {-8, -8, 1050, 1936};
  before.maximized = true;
  before.Find("cb1").text = "/dev/ttyUSB0 Ø";
  before.Find("xCon").checked = true;
  before.Find("e1").text = "0123456789ABCDEF";
  before.Find("NumE1").text = "+79001234567";
  before.Find("NumE2").text = "C:\\path \"quoted\"";
  before.Find("NumE3").text = "Абв\xC2\x98я";
  for (int i = 1; i <= 6; ++i) {
    before.Find("Call" + std::to_string(i)).checked = i % 2 == 1;
    before.Find("H24" + std::to_string(i)).checked = i >= 4;
  }
  SaveFormState(before, store);

  FakeWindow after;
  after.name = StoreSandbox::kWindowName;
  for (int i = 1; i <= 6; ++i) after.Find("Call" + std::to_string(i)).checked = true;
  LoadFormState(after, store);

  // The window first, then the components in layout order; boxes already in
  // their stored state are set all the same (setting an unchanged state does
  // nothing in the window).
  std::vector<std::string> expected = {"SetMaximized(1)",    "SetLeft(-8)",
                                       "SetTop(-8)",         "SetHeight(1050)",
                                       "SetWidth(1936)",     "cb1.SetText(/dev/ttyUSB0 Ø)",
                                       "xCon.SetChecked(1)", "e1.SetText(0123456789ABCDEF)"};
  for (int i = 1; i <= 6; ++i) {
    const std::string n = std::to_string(i);
    expected.push_back("NumE" + n + ".SetText(" + before.Find("NumE" + n).text + ")");
  }
  for (int i = 1; i <= 6; ++i)
    expected.push_back("Call" + std::to_string(i) + ".SetChecked(" + (i % 2 ? "1" : "0") + ")");
  for (int i = 1; i <= 6; ++i)
    expected.push_back("H24" + std::to_string(i) + ".SetChecked(" + (i >= 4 ? "1" : "0") + ")");
  EXPECT_EQ(after.journal, expected);
  EXPECT_FALSE(after.centred);
}

}  // namespace
