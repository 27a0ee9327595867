#include "support/registry_text.h"

#include <gtest/gtest.h>

#include <string>

#include "support/registry_key.h"

namespace {

constexpr const char* kKey = "SOFTWARE\\NolvarGSM\\Forms\\fOrvex";

std::string Section(const std::string& body) {
  return "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Forms\\fOrvex]\n" + body;
}

struct ReadCase {
  const char* what;
  std::string file;
  std::string name;
  RegValue expected;
};

TEST(SupportRegistryText, ReadsEveryValueFormAsTheRegistryWouldHoldIt) {
  const ReadCase cases[] = {
      {"number", Section("\"fOrvex.Left\"=dword:00000064\n"), "fOrvex.Left", RegValue::Number(100)},
      {"short number, upper case", Section("\"a\"=DWORD:fF\n"), "a", RegValue::Number(255)},
      {"negative number", Section("\"a\"=dword:fffffff8\n"), "a", RegValue::Number(0xFFFFFFF8)},
      {"text", Section("\"cb1.Text\"=\"COM2\"\n"), "cb1.Text", RegValue::Text("COM2")},
      {"escapes",
       Section(R"("a"="C:\\x \"q\" \r\n")"
               "\n"),
       "a", RegValue::Text("C:\\x \"q\" \r\n")},
      {"empty text", Section("\"a\"=\"\"\n"), "a", RegValue::Text("")},
      {"Cyrillic UTF-8", Section("\"a\"=\"Пароль\"\n"), "a", RegValue::Text("Пароль")},
      {"unnamed value", Section("@=\"x\"\n"), "", RegValue::Text("x")},
      {"name in other case", Section("\"CB1.TEXT\"=\"x\"\n"), "cb1.text", RegValue::Text("x")},
      {"Cyrillic name in other case", Section("\"ПОРТ\"=\"x\"\n"), "порт", RegValue::Text("x")},
      {"key in other case",
       "REGEDIT4\n[hkey_current_user\\software\\nolvargsm\\forms\\FORVEX]\n\"a\"=\"x\"\n", "a",
       RegValue::Text("x")},
      {"later of two values wins", Section("\"a\"=\"one\"\n\"A\"=\"two\"\n"), "a",
       RegValue::Text("two")},
      {"later of two sections wins",
       Section("\"a\"=\"one\"\n[HKEY_CURRENT_USER\\Other]\n\"a\"=\"no\"\n") +
           "[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Forms\\fOrvex]\n\"a\"=\"two\"\n",
       "a", RegValue::Text("two")},
      {"CR LF, byte order mark, comments, blanks",
       "\xEF\xBB\xBFREGEDIT4\r\n\r\n; note\r\n[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Forms\\"
       "fOrvex]\r\n  ; x\r\n \"a\" = \"x\"  \r\n",
       "a", RegValue::Text("x")},
      {"expandable text, one line", Section("\"a\"=hex(2):25,54,45,4d,50,25,00\n"), "a",
       RegValue{kRegExpandSz, std::string("%TEMP%\0", 7)}},
      {"expandable text over lines",
       Section("\"a\"=hex(2):25,54,45,\\\n  4d,50,25,\\\n  00\n\"b\"=dword:1\n"), "a",
       RegValue{kRegExpandSz, std::string("%TEMP%\0", 7)}},
      {"binary", Section("\"a\"=hex:01,ff\n"), "a", RegValue{kRegBinary, "\x01\xff"}},
      {"empty binary", Section("\"a\"=hex:\n"), "a", RegValue{kRegBinary, ""}},
      {"multi-string", Section("\"a\"=hex(7):61,00,00\n"), "a",
       RegValue{7, std::string("a\0\0", 3)}},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.what);
    const RegDocument doc = RegDocument::Parse(c.file, "user.reg");
    const RegValue* value = doc.FindValue(kKey, c.name);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->type, c.expected.type);
    EXPECT_EQ(value->bytes, c.expected.bytes);
  }
}

TEST(SupportRegistryText, ExpandableTextReadsAsTextWithoutExpansionAndOtherTypesDoNot) {
  const RegDocument doc = RegDocument::Parse(
      Section("\"e\"=hex(2):25,50,25,00\n\"b\"=hex:41,00\n\"m\"=hex(7):41,00,00\n"), "f");
  ASSERT_TRUE(doc.FindValue(kKey, "e")->IsText());
  EXPECT_EQ(doc.FindValue(kKey, "e")->AsText(), "%P%");
  EXPECT_FALSE(doc.FindValue(kKey, "b")->IsText());
  EXPECT_FALSE(doc.FindValue(kKey, "m")->IsText());
  EXPECT_FALSE(doc.FindValue(kKey, "m")->IsNumber());
  EXPECT_EQ(doc.FindValue(kKey, "missing"), nullptr);
  EXPECT_EQ(doc.FindValue("SOFTWARE\\NolvarGSM\\Forms", "e"), nullptr);
}

struct BadCase {
  const char* what;
  std::string file;
  int line;
};

TEST(SupportRegistryText, AFileThatIsNotUnderstoodNamesItsFileAndLine) {
  const BadCase cases[] = {
      {"another format", "Windows Registry Editor Version 5.00\n", 1},
      {"INI file", "[Main]\nDebug=TRUE\n", 1},
      {"unclosed key", "REGEDIT4\n\n[HKEY_CURRENT_USER\\x\n", 3},
      {"value before any key", "REGEDIT4\n\"a\"=\"x\"\n", 2},
      {"unclosed text", Section("\"a\"=dword:1\n\"b\"=\"x\n"), 5},
      {"text after a text", Section("\"a\"=\"x\" y\n"), 4},
      {"unknown escape", Section("\"a\"=\"C:\\temp\"\n"), 4},
      {"unclosed name", Section("\"a=\"x\"\n"), 4},
      {"no equals sign", Section("\"a\" \"x\"\n"), 4},
      {"number too long", Section("\"a\"=dword:123456789\n"), 4},
      {"number with junk", Section("\"a\"=dword:12g\n"), 4},
      {"empty number", Section("\"a\"=dword:\n"), 4},
      {"deletion", Section("\"a\"=-\n"), 4},
      {"bad byte", Section("\"a\"=hex:1,2x\n"), 4},
      {"byte list cut by the end", Section("\"a\"=hex:01,\\\n"), 4},
      {"bad type", Section("\"a\"=hex(zz):00\n"), 4},
      {"plain text line", Section("\"a\"=\"x\"\nhello\n"), 5},
      {"zero byte", Section(std::string("\"a\"=\"x\"\n\0\n", 9)), 5},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      RegDocument::Parse(c.file, "/home/u/.config/NolvarGSM/user.reg");
      ADD_FAILURE() << "parsed";
    } catch (const ESettingsFileError& e) {
      EXPECT_EQ(e.Path(), "/home/u/.config/NolvarGSM/user.reg");
      EXPECT_EQ(e.Line(), c.line);
      EXPECT_NE(std::string(e.what()).find("/home/u/.config/NolvarGSM/user.reg"),
                std::string::npos);
      EXPECT_NE(std::string(e.what()).find("line " + std::to_string(c.line)), std::string::npos);
    }
  }
}

TEST(SupportRegistryText, AnEmptyFileIsAnEmptyStore) {
  for (const char* text : {"", "\n", "  \r\n\t\n"}) {
    const RegDocument doc = RegDocument::Parse(text, "f");
    EXPECT_FALSE(doc.HasKey(kKey));
  }
}

TEST(SupportRegistryText, AChangeRewritesOnlyItsOwnValue) {
  const std::string before =
      "REGEDIT4\n"
      "; kept\n"
      "\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Ports]\n"
      "\"COM5\"=\"/dev/ttyUSB0\"\n"
      "\"Bin\"=hex:01,02,\\\n"
      "  03\n"
      "\"Multi\"=hex(7):61,00,00\n"
      "\"Num\"=DWORD:A\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\Elsewhere]\n"
      "\"cb1.Text\"=\"keep\"\n"
      "\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Forms\\fOrvex]\n"
      "\"cb1.Text\"=\"COM1\"\n"
      "\"xCon.Checked\"=dword:00000000\n"
      "\n";
  RegDocument doc = RegDocument::Parse(before, "f");
  EXPECT_EQ(doc.Serialize(), before);

  doc.SetValue(kKey, "CB1.TEXT", RegValue::Text("COM2"));
  doc.SetValue(kKey, "e1.Text", RegValue::Text("a\"b\\c"));
  std::string expected = before;
  // The value keeps the name it was stored under, as in the registry.
  expected.replace(expected.find("\"cb1.Text\"=\"COM1\""), 17, "\"cb1.Text\"=\"COM2\"");
  expected.insert(expected.rfind("\n\n") + 1, "\"e1.Text\"=\"a\\\"b\\\\c\"\n");
  EXPECT_EQ(doc.Serialize(), expected);

  const RegDocument again = RegDocument::Parse(doc.Serialize(), "f");
  EXPECT_EQ(again.FindValue(kKey, "e1.text")->AsText(), "a\"b\\c");
  EXPECT_EQ(again.FindValue("SOFTWARE\\NolvarGSM\\Ports", "Bin")->bytes, "\x01\x02\x03");
}

TEST(SupportRegistryText, ANewFileLooksLikeARegeditExport) {
  RegDocument doc = RegDocument::Parse("", "f");
  doc.SetValue(kKey, "fOrvex.Left", RegValue::Number(100));
  doc.SetValue(kKey, "fOrvex.Top", RegValue::Number(static_cast<uint32_t>(-8)));
  doc.SetValue(kKey, "cb1.Text", RegValue::Text("COM2"));
  doc.AddKey("SOFTWARE\\NolvarGSM\\Ports");
  doc.SetValue("SOFTWARE\\NolvarGSM\\Ports", "COM5", RegValue::Text("/dev/ttyUSB0"));
  EXPECT_EQ(doc.Serialize(),
            "REGEDIT4\n"
            "\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Forms\\fOrvex]\n"
            "\"fOrvex.Left\"=dword:00000064\n"
            "\"fOrvex.Top\"=dword:fffffff8\n"
            "\"cb1.Text\"=\"COM2\"\n"
            "\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Ports]\n"
            "\"COM5\"=\"/dev/ttyUSB0\"\n"
            "\n");
}

TEST(SupportRegistryText, TextWithLineBreaksAndQuotesStaysOnOneLine) {
  RegDocument doc = RegDocument::Parse("", "f");
  const std::string tricky = "a\\\"\r\n\\\\\"\"]\n[HKEY_CURRENT_USER\\x]\n\"z\"=dword:1 ;";
  doc.SetValue(kKey, "n\"\\ame", RegValue::Text(tricky));
  const std::string text = doc.Serialize();
  EXPECT_EQ(text.find("[HKEY_CURRENT_USER\\x]"), std::string::npos);
  const RegDocument again = RegDocument::Parse(text, "f");
  ASSERT_NE(again.FindValue(kKey, "n\"\\ame"), nullptr);
  EXPECT_EQ(again.FindValue(kKey, "n\"\\ame")->AsText(), tricky);
  EXPECT_FALSE(again.HasKey("x"));
}

}  // namespace
