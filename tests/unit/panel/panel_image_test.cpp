// The exact copy of a panel: which replies a backup takes, and that a read
// with any reply it cannot take gives nothing at all.

#include <gtest/gtest.h>

#include "panel/encodings.h"
#include "panel/panel_image.h"
#include "scripted_sender.h"

namespace {

const std::string kNumber = "01" + EncodeNumber("+7916");

TEST(PanelImage, OnlyARepliesOfItsCommandsShapeWithOneAnswerIsTaken) {
  const struct {
    std::string reply;
    char shape;
    std::string fault;  // empty: taken
  } cases[] = {
      {"\r\n>0123456789abcdef\r\nOK\r\n", 'k', ""},
      {"\r\n>3F01\r\nOK\r\n", 'f', ""},
      {"\r\n>" + kNumber + "\r\nOK\r\n", 'n', ""},
      {"", 'k', "was not answered"},
      {"\r\n>0123456789ABCDEF\r\nOK\r\nOK\r\n", 'k', "more than one answer"},
      {"\r\n>0123456789ABCDEF\r\n>0000000000000000\r\nOK\r\n", 'k', "more than one answer"},
      {"\r\n>0123456789ABCDE\r\nOK\r\n", 'k', "not a key"},
      {"\r\n>3F0\r\nOK\r\n", 'f', "not the flags"},
      {"\r\n>" + kNumber + "0\r\nOK\r\n", 'n', "not a number"},
      {"\r\n>0123456789ABCDEF\r\nOK\r\n", 'n', "not a number"},  // a key where a number belongs
      {"OK\r\n", 'f', "not the flags"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(EscapedBytes(c.reply));
    const std::string fault = ReplyFault(c.reply, c.shape);
    if (c.fault.empty()) {
      EXPECT_EQ(fault, "");
    } else {
      EXPECT_NE(fault.find(c.fault), std::string::npos) << fault;
    }
  }
}

TEST(PanelImage, AReadNamesEveryReplyItCouldNotTakeAndGivesNothing) {
  ScriptedSender panel;
  for (int slot = 1; slot <= 4; ++slot)
    panel.AnswerWithData(KeyReadCommand(slot), "0102030405060708");
  panel.AnswerWithData("+s", "0B05");
  for (int n = 1; n <= 6; ++n) panel.AnswerWithData(NumberReadCommand(n), kNumber);
  panel.replies["+T03"] = "\r\n>0102030405060708\r\nOK\r\nOK\r\n";
  panel.replies.erase("+H06");

  try {
    ReadPanelImage(panel.Sender());
    FAIL() << "a read with refused replies returned";
  } catch (const EPanelReadError& e) {
    ASSERT_EQ(e.Refused().size(), 2u);
    EXPECT_EQ(e.Refused()[0].command, "+T03");
    EXPECT_EQ(e.Refused()[0].reply, "\r\n>0102030405060708\r\nOK\r\nOK\r\n");
    EXPECT_EQ(e.Refused()[1].command, "+H06");
  }
  EXPECT_EQ(panel.sent.size(), 11u) << "every command is still asked";
}

TEST(PanelImage, FieldsThatDifferAreNamedAsTheFileNamesThem) {
  PanelImage a;
  a.keys = {"0102030405060708", "0A0B0C0D0E0F0A0B", "B", "C"};
  a.numbers[0] = EncodeNumber("1");
  PanelImage b = a;
  b.keys[0].back() = '9';
  b.keys[1] = "0a0b0c0d0e0f0a0b";  // the same key in lower case
  b.dial = 0b100000;
  b.day = 0b000001;
  b.numbers[0] = std::string(32, '0');
  b.numbers[5] = std::string(32, '0');  // the same as no number
  EXPECT_EQ(ImageDifferences(a, b), (std::vector<std::string>{"key1", "number1", "dial6", "day1"}));
}

}  // namespace
