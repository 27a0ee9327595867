#include "support/registry_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>

#include "config_home.h"
#include "fakes/store_errors.h"
#include "support/registry_text.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kForm = "\\SOFTWARE\\NolvarGSM\\Forms\\fOrvex";
constexpr const char* kPorts = "\\SOFTWARE\\NolvarGSM\\Ports";

const std::string kPortMapFile =
    "REGEDIT4\n"
    "\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Ports]\n"
    "\"COM5\"=\"/dev/ttyUSB0\"\n"
    "\"Multi\"=hex(7):61,00,00\n"
    "\n";

// A value of the file as text, or what stands in for a missing one.
std::string TextIn(const RegDocument& doc, const std::string& key, const std::string& name) {
  const RegValue* value = doc.FindValue(key, name);
  if (value == nullptr) return "<missing>";
  return value->IsNumber() ? std::to_string(value->AsNumber()) : value->AsText();
}

TEST(SupportRegistryFile, OpeningWithCreationMakesTheFileAndReadingAloneDoesNot) {
  ScratchConfigHome home;
  EXPECT_EQ(DefaultRegistryFilePath(), home.File().string());
  {
    auto key = DefaultRegistryStore().OpenKey(kPorts, false);
    EXPECT_FALSE(key->ValueExists("COM5"));
    EXPECT_EQ(ErrorOf([&] { key->WriteString("COM5", "x"); }), "Failed to set data for 'COM5'");
  }
  EXPECT_FALSE(fs::exists(home.Folder()));

  DefaultRegistryStore().OpenKey(kForm, true);
  EXPECT_EQ(home.Read(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Forms\\fOrvex]\n\n");
}

TEST(SupportRegistryFile, WritesReachTheFileOnlyWhenCommittedAndOtherKeysStay) {
  ScratchConfigHome home;
  home.Write(kPortMapFile);
  auto key = DefaultRegistryStore().OpenKey(kForm, true);
  key->WriteInteger("fOrvex.Left", -8);
  key->WriteString("cb1.Text", "COM2");
  EXPECT_EQ(key->ReadInteger("FORVEX.LEFT"), -8);  // the key sees its own writes
  EXPECT_EQ(home.Read().find("fOrvex.Left"), std::string::npos);

  // Meanwhile a second copy changes the port map and this very key.
  {
    auto other = MakeRegistryFileStore("")->OpenKey(kPorts, true);
    other->WriteString("COM6", "/dev/ttyACM0");
    other->Commit();
    auto same = MakeRegistryFileStore("")->OpenKey(kForm, true);
    same->WriteString("NumE1.Text", "112");
    same->WriteString("cb1.Text", "COM9");
    same->Commit();
  }
  key->Commit();

  const RegDocument doc = RegDocument::Parse(home.Read(), "user.reg");
  const std::string form = "SOFTWARE\\NolvarGSM\\Forms\\fOrvex";
  const std::string ports = "SOFTWARE\\NolvarGSM\\Ports";
  EXPECT_EQ(TextIn(doc, form, "fOrvex.Left"), "4294967288");
  EXPECT_EQ(TextIn(doc, form, "cb1.Text"), "COM2");  // the last save wins
  EXPECT_EQ(TextIn(doc, form, "NumE1.Text"), "112");
  EXPECT_EQ(TextIn(doc, ports, "COM5"), "/dev/ttyUSB0");
  EXPECT_EQ(TextIn(doc, ports, "COM6"), "/dev/ttyACM0");
  EXPECT_NE(home.Read().find("\"Multi\"=hex(7):61,00,00\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(home.Folder() / "user.reg.tmp"));
}

TEST(SupportRegistryFile, TheFileHoldsTheTextsAsTheyAreGiven) {
  ScratchConfigHome home;
  {
    auto key = DefaultRegistryStore().OpenKey(kForm, true);
    key->WriteString("Порт", "/dev/Gerät \"Ø\"");
    key->Commit();
  }
  EXPECT_NE(home.Read().find("\"Порт\"=\"/dev/Gerät \\\"Ø\\\"\"\n"), std::string::npos);
}

TEST(SupportRegistryFile, ReadingAValueAsTheWrongTypeIsAnError) {
  ScratchConfigHome home;
  home.Write(
      "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Forms\\fOrvex]\n"
      "\"n\"=dword:00000007\n\"s\"=\"7\"\n\"e\"=hex(2):25,50,41,54,48,25,00\n"
      "\"b\"=hex:07,00,00,00\n\"d\"=hex(4):07,00,00,00\n\"q\"=hex(b):07,00,00,00,00,00,00,00\n");
  auto key = DefaultRegistryStore().OpenKey(kForm, true);
  EXPECT_EQ(key->ReadInteger("n"), 7);
  EXPECT_EQ(key->ReadInteger("d"), 7);
  EXPECT_EQ(key->ReadString("s"), "7");
  EXPECT_EQ(key->ReadString("e"), "%PATH%");
  for (const char* name : {"s", "e", "b", "q"}) {
    EXPECT_EQ(ErrorOf([&] { key->ReadInteger(name); }),
              std::string("Invalid data type for '") + name + "'");
  }
  for (const char* name : {"n", "b", "d", "q"}) {
    EXPECT_EQ(ErrorOf([&] { key->ReadString(name); }),
              std::string("Invalid data type for '") + name + "'");
  }
  EXPECT_EQ(ErrorOf([&] { key->ReadString("none"); }), "Failed to get data for 'none'");
}

TEST(SupportRegistryFile, AFileChangedIntoNonsenseBeforeTheSaveIsNotOverwritten) {
  ScratchConfigHome home;
  auto key = DefaultRegistryStore().OpenKey(kForm, true);
  key->WriteInteger("fOrvex.Left", 1);
  const std::string nonsense = "REGEDIT4\n[HKEY_CURRENT_USER\\x]\n\"a\"=dword:\n";
  home.Write(nonsense);
  try {
    key->Commit();
    ADD_FAILURE() << "committed";
  } catch (const ESettingsFileError& e) {
    EXPECT_EQ(e.Line(), 3);
    EXPECT_EQ(e.Path(), home.File().string());
  }
  EXPECT_EQ(home.Read(), nonsense);
  EXPECT_THROW(DefaultRegistryStore().OpenKey(kPorts, false), ESettingsFileError);
}

TEST(SupportRegistryFile, SomethingElseInTheFilesPlaceIsNeitherReadNorReplaced) {
  ScratchConfigHome home;
  fs::create_directories(home.Folder());
  ASSERT_EQ(mkfifo(home.File().c_str(), 0600), 0);  // opening it for reading would block
  auto key = DefaultRegistryStore().OpenKey(kForm, true);
  EXPECT_FALSE(key->ValueExists("fOrvex.Left"));
  try {
    key->WriteInteger("fOrvex.Left", 1);
    ADD_FAILURE() << "written";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(std::string(e.what()), "Failed to set data for 'fOrvex.Left'");
    EXPECT_NE(e.Detail().find(home.File().string()), std::string::npos);
  }
  EXPECT_EQ(fs::status(home.File()).type(), fs::file_type::fifo);
}

TEST(SupportRegistryFile, ASettingsFileThatIsALinkStaysALink) {
  ScratchConfigHome home;
  fs::create_directories(home.Folder());
  const fs::path target = home.Folder().parent_path() / "dotfiles.reg";
  WriteFileBytes(target, kPortMapFile);
  fs::create_symlink(target, home.File());
  auto key = DefaultRegistryStore().OpenKey(kForm, true);
  key->WriteString("cb1.Text", "COM3");
  key->Commit();
  EXPECT_TRUE(fs::is_symlink(home.File()));
  EXPECT_NE(ReadFileBytes(target).find("\"cb1.Text\"=\"COM3\""), std::string::npos);
  EXPECT_NE(ReadFileBytes(target).find("\"COM5\"=\"/dev/ttyUSB0\""), std::string::npos);
}

// Writes round into every value of the key at once; a reader that finds two
// values differing has seen half of a save.
void SaveRound(RegistryStore& store, const char* keyPath, int round) {
  auto key = store.OpenKey(keyPath, true);
  for (const char* name : {"a", "b", "c", "d", "e"}) key->WriteInteger(name, round);
  key->WriteString("text", std::string(200, static_cast<char>('a' + round % 26)));
  key->Commit();
}

// The round that every value of the key holds, -1 for none, -2 for a mix.
int RoundHeld(const std::string& fileText, const std::string& keyPath) {
  const RegDocument doc = RegDocument::Parse(fileText, "user.reg");
  const RegValue* first = doc.FindValue(keyPath, "a");
  if (first == nullptr) return -1;
  const auto round = first->AsNumber();
  for (const char* name : {"b", "c", "d", "e"}) {
    const RegValue* value = doc.FindValue(keyPath, name);
    if (value == nullptr || value->AsNumber() != round) return -2;
  }
  if (TextIn(doc, keyPath, "text") != std::string(200, static_cast<char>('a' + round % 26))) {
    return -2;
  }
  return static_cast<int>(round);
}

TEST(SupportRegistryFile, TwoCopiesSavingAtOnceBothKeepTheirValues) {
  ScratchConfigHome home;
  home.Write(kPortMapFile);
  constexpr int kRounds = 40;
  const char* keys[2] = {"\\SOFTWARE\\NolvarGSM\\Forms\\fOne",
                         "\\SOFTWARE\\NolvarGSM\\Forms\\fTwo"};
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      int status = 0;
      try {
        const auto store = MakeRegistryFileStore("");
        for (int round = 1; round <= kRounds; ++round) {
          SaveRound(*store, keys[c], round);
          SaveRound(*store, kForm, c * 1000 + round);  // both copies share this one
        }
      } catch (...) {
        status = 1;
      }
      _exit(status);
    }
  }
  // Every look while they save finds whole saves.
  int looks = 0;
  for (;;) {
    int left = 0;
    for (pid_t child : children) left += waitpid(child, nullptr, WNOHANG) == 0;
    const std::string text = home.Read();
    ASSERT_NE(RoundHeld(text, "SOFTWARE\\NolvarGSM\\Forms\\fOrvex"), -2) << text;
    ++looks;
    if (left == 0) break;
  }
  for (pid_t child : children) waitpid(child, nullptr, 0);
  const std::string text = home.Read();
  EXPECT_EQ(RoundHeld(text, "SOFTWARE\\NolvarGSM\\Forms\\fOne"), kRounds);
  EXPECT_EQ(RoundHeld(text, "SOFTWARE\\NolvarGSM\\Forms\\fTwo"), kRounds);
  const int shared = RoundHeld(text, "SOFTWARE\\NolvarGSM\\Forms\\fOrvex");
  EXPECT_TRUE(shared == kRounds || shared == 1000 + kRounds) << shared;
  EXPECT_NE(text.find("\"COM5\"=\"/dev/ttyUSB0\""), std::string::npos);
  EXPECT_GT(looks, 0);
}

TEST(SupportRegistryFile, ACopyKilledAtAnyMomentOfASaveLeavesAWholeFile) {
  ScratchConfigHome home;
  home.Write(kPortMapFile);
  std::mt19937 random(12345);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  int kills = 0;
  int killedMidSave = 0;  // a temporary file left behind
  int lastRound = -1;
  for (int iteration = 0; iteration < 300 && std::chrono::steady_clock::now() < end; ++iteration) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const auto store = MakeRegistryFileStore("");
      for (int round = iteration * 100000;; ++round) SaveRound(*store, kForm, round);
    }
    usleep(std::uniform_int_distribution<useconds_t>(0, 6000)(random));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    kills += WIFSIGNALED(status);
    killedMidSave += fs::exists(home.Folder() / "user.reg.tmp");

    const std::string text = home.Read();
    const int round = RoundHeld(text, "SOFTWARE\\NolvarGSM\\Forms\\fOrvex");
    ASSERT_NE(round, -2) << "iteration " << iteration << ":\n" << text;
    ASSERT_GE(round, lastRound) << "an older save came back";
    lastRound = round;
    ASSERT_NE(text.find("\"COM5\"=\"/dev/ttyUSB0\""), std::string::npos) << text;
  }
  EXPECT_GT(kills, 0);
  RecordProperty("KilledMidSave", killedMidSave);
  RecordProperty("Kills", kills);
  // What a killed save left behind does not stand in the way of the next.
  SaveRound(DefaultRegistryStore(), kForm, 7);
  EXPECT_EQ(RoundHeld(home.Read(), "SOFTWARE\\NolvarGSM\\Forms\\fOrvex"), 7);
}

}  // namespace
