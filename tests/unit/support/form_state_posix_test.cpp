#include "support/form_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config_home.h"
#include "form_window_double.h"
#include "support/registry_file.h"
#include "support/registry_text.h"

namespace {

constexpr const char* kKeyPath = "SOFTWARE\\NolvarGSM\\Forms\\fOrvex";

// The 26 values of the main window, in the order they are written.
std::vector<std::string> MainWindowValueNames() {
  std::vector<std::string> names = {
      "fOrvex.Left",        "fOrvex.Top", "fOrvex.Height", "fOrvex.Width",
      "fOrvex.WindowState", "cb1.Text",   "xCon.Checked",  "e1.Text"};
  for (int i = 1; i <= 6; ++i) names.push_back("NumE" + std::to_string(i) + ".Text");
  for (int i = 1; i <= 6; ++i) names.push_back("Call" + std::to_string(i) + ".Checked");
  for (int i = 1; i <= 6; ++i) names.push_back("H24" + std::to_string(i) + ".Checked");
  return names;
}

// Value names in the order the settings file lists them under the key.
std::vector<std::string> StoredValueNames(const std::string& file) {
  std::vector<std::string> names;
  bool inKey = false;
  size_t start = 0;
  while (start < file.size()) {
    const size_t end = file.find('\n', start);
    const std::string line = file.substr(start, end - start);
    start = end == std::string::npos ? file.size() : end + 1;
    if (!line.empty() && line[0] == '[')
      inKey = line == std::string("[HKEY_CURRENT_USER\\") + kKeyPath + "]";
    if (inKey && !line.empty() && line[0] == '"')
      names.push_back(line.substr(1, line.find("\"=") - 1));
  }
  return names;
}

// A window the user has left in a state unlike the designed one.
void FillIn(FakeWindow& w) {
  w.bounds = {-8, -8, 1050, 1936};
  w.maximized = true;
  w.Find("cb1").text = "COM7";
  w.Find("xCon").checked = true;
  w.Find("e1").text = "0123456789ABCDEF";
  w.Find("NumE1").text = "+79001234567";
  w.Find("NumE2").text = "C:\\path \"quoted\"";
  w.Find("NumE3").text = "Абв\xC2\x98я";  // UTF-8, as the store speaks
  w.Find("NumE4").text = "";
  w.Find("NumE5").text = "12a$";
  w.Find("NumE6").text = "  15 characters";
  for (int i = 1; i <= 6; ++i) {
    w.Find("Call" + std::to_string(i)).checked = i % 2 == 1;
    w.Find("H24" + std::to_string(i)).checked = i >= 4;
  }
}

// The designed state of the main window: every dial box ticked.
FakeWindow DesignedWindow() {
  FakeWindow w;
  for (int i = 1; i <= 6; ++i) w.Find("Call" + std::to_string(i)).checked = true;
  return w;
}

TEST(SupportFormState, FirstRunRestoresNothingCentresTheWindowAndTheEndStoresAll26Values) {
  ScratchConfigHome home;
  FakeWindow window = DesignedWindow();
  LoadFormState(window);
  EXPECT_EQ(window.journal, std::vector<std::string>{"SetCentredPlacement"});
  // The load created the key, empty.
  const RegDocument created = RegDocument::Parse(home.Read(), "user.reg");
  EXPECT_TRUE(created.HasKey(kKeyPath));
  EXPECT_TRUE(StoredValueNames(home.Read()).empty());

  SaveFormState(window);
  EXPECT_EQ(StoredValueNames(home.Read()), MainWindowValueNames());
  const std::string file = home.Read();
  EXPECT_NE(file.find("\"fOrvex.Left\"=dword:00000064\n"), std::string::npos);
  EXPECT_NE(file.find("\"fOrvex.WindowState\"=dword:00000000\n"), std::string::npos);
  EXPECT_NE(file.find("\"Call1.Checked\"=dword:00000001\n"), std::string::npos);
  EXPECT_NE(file.find("\"NumE1.Text\"=\"\"\n"), std::string::npos);
}

TEST(SupportFormState, OnlyTheValuesThatExistAreRestored) {
  ScratchConfigHome home;
  home.Write(
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Forms\\fOrvex]\n"
      "\"FORVEX.width\"=dword:00000320\n"
      "\"fOrvex.WindowState\"=dword:00000000\n"
      "\"xCon.Checked\"=dword:00000002\n"
      "\"Call3.Checked\"=dword:00000000\n"
      "\"Gone.Text\"=\"from an older version\"\n"
      "\"cb1.Text\"=hex(2):43,4f,4d,39,00\n");
  FakeWindow window = DesignedWindow();
  LoadFormState(window);
  EXPECT_EQ(window.journal, (std::vector<std::string>{
                                "SetMaximized(0)", "SetCentredPlacement", "SetWidth(800)",
                                "cb1.SetText(COM9)", "xCon.SetChecked(1)", "Call3.SetChecked(0)"}));
}

TEST(SupportFormState, AnEditTaggedOneIsSavedButNotRestored) {
  ScratchConfigHome home;
  FakeWindow before;
  before.Find("e1").tag = 1;
  before.Find("e1").text = "saved";
  SaveFormState(before);
  EXPECT_NE(home.Read().find("\"e1.Text\"=\"saved\""), std::string::npos);

  // Its value is not even read: a wrong type there stops nothing.
  home.Write(
      "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Forms\\fOrvex]\n"
      "\"e1.Text\"=dword:00000001\n\"NumE1.Text\"=\"123\"\n");
  FakeWindow after;
  after.Find("e1").tag = 1;
  after.Find("e1").text = "designed";
  LoadFormState(after);
  EXPECT_EQ(after.Find("e1").text, "designed");
  EXPECT_EQ(after.Find("NumE1").text, "123");
}

struct WrongTypeCase {
  const char* value;
  const char* storedAs;
  const char* firstStepNotTaken;  // journal entry prefix
};

TEST(SupportFormState, AValueOfTheWrongTypeStopsTheLoadThere) {
  const WrongTypeCase cases[] = {
      {"fOrvex.WindowState", "\"1\"", "SetMaximized("},
      {"fOrvex.Left", "\"100\"", "SetLeft("},
      {"fOrvex.Width", "hex:01,00,00,00", "SetWidth("},
      {"cb1.Text", "dword:00000005", "cb1.SetText("},
      {"NumE3.Text", "dword:00000003", "NumE3.SetText("},
      {"Call2.Checked", "\"1\"", "Call2.SetChecked("},
      {"H246.Checked", "hex(7):00,00", "H246.SetChecked("},
  };
  ScratchConfigHome home;
  FakeWindow saved;
  FillIn(saved);
  SaveFormState(saved);
  const std::string good = home.Read();
  FakeWindow reference;
  LoadFormState(reference);
  for (const WrongTypeCase& c : cases) {
    SCOPED_TRACE(c.value);
    std::string bad = good;
    const std::string prefix = std::string("\"") + c.value + "\"=";
    const size_t at = bad.find(prefix) + prefix.size();
    bad.replace(at, bad.find('\n', at) - at, c.storedAs);
    home.Write(bad);

    FakeWindow window;
    try {
      LoadFormState(window);
      ADD_FAILURE() << "loaded";
    } catch (const ERegistryException& e) {
      EXPECT_EQ(std::string(e.what()), std::string("Invalid data type for '") + c.value + "'");
    }
    size_t stop = 0;
    while (reference.journal[stop].rfind(c.firstStepNotTaken, 0) != 0) ++stop;
    EXPECT_EQ(window.journal, std::vector<std::string>(reference.journal.begin(),
                                                       reference.journal.begin() + stop));
  }
}

TEST(SupportFormState, AnUnreadableSettingsFileRestoresNothingAndIsNotOverwritten) {
  ScratchConfigHome home;
  const std::string broken =
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Forms\\fOrvex]\n"
      "\"fOrvex.Left\"=dword:00000064\n\"cb1.Text\"=\"COM2\n";
  home.Write(broken);
  FakeWindow window;
  using Operation = void (*)(FormStateWindow&, RegistryStore&);
  for (Operation operation : {Operation(&LoadFormState), Operation(&SaveFormState)}) {
    window.journal.clear();
    try {
      operation(window, DefaultRegistryStore());
      ADD_FAILURE() << "no error";
    } catch (const ESettingsFileError& e) {
      EXPECT_EQ(e.Line(), 5);
      EXPECT_NE(std::string(e.what()).find(home.File().string()), std::string::npos);
    }
    EXPECT_TRUE(window.journal.empty());
    EXPECT_EQ(home.Read(), broken);
  }
}

TEST(SupportFormState, AKeyThatCannotBeWrittenFailsTheSaveOnItsFirstValue) {
  // The settings folder would have to be made inside a plain file.
  ScratchConfigHome home;
  WriteFileBytes(home.Folder().parent_path() / "plain", "x");
  const auto store =
      MakeRegistryFileStore((home.Folder().parent_path() / "plain/user.reg").string());
  FakeWindow window;
  LoadFormState(window, *store);
  EXPECT_EQ(window.journal, std::vector<std::string>{"SetCentredPlacement"});
  try {
    SaveFormState(window, *store);
    ADD_FAILURE() << "saved";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(std::string(e.what()), "Failed to set data for 'fOrvex.Left'");
    EXPECT_FALSE(e.Detail().empty());
  }
}

TEST(SupportFormState, TheKeyIsNamedAfterTheWindow) {
  EXPECT_EQ(FormStateKeyPath("fOrvex"), "\\SOFTWARE\\NolvarGSM\\Forms\\fOrvex");
  ScratchConfigHome home;
  FakeWindow other;
  other.name = "fWait";
  SaveFormState(other);
  EXPECT_NE(home.Read().find("[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Forms\\fWait]\n"
                             "\"fWait.Left\"=dword:00000064\n"),
            std::string::npos);
}

}  // namespace
