// The exact copy of a panel: which replies a backup takes, and that a read
// with any reply it cannot take gives nothing at all.

#include <gtest/gtest.h>

#include <map>

#include "panel/encodings.h"
#include "panel/panel_image.h"
#include "panel/reply_checks.h"
#include "scripted_sender.h"

namespace {

const std::string kNumber = "01" + EncodeNumber("+7916");

TEST(PanelImage, OnlyARepliesOfItsCommandsShapeWithOneAnswerIsTaken) {
  const struct {
    std::string reply;
    ReplyShape shape;
    ReplyProblem problem;
  } cases[] = {
      {"\r\n>0123456789abcdef\r\nOK\r\n", ReplyShape::kKey, ReplyProblem::kNone},
      {"\r\n>3F01\r\nOK\r\n", ReplyShape::kFlags, ReplyProblem::kNone},
      {"\r\n>" + kNumber + "\r\nOK\r\n", ReplyShape::kNumber, ReplyProblem::kNone},
      {"", ReplyShape::kKey, ReplyProblem::kNotAnswered},
      {"\r\n>0123456789ABCDEF\r\nOK\r\nOK\r\n", ReplyShape::kKey, ReplyProblem::kTwoAnswers},
      {"\r\n>0123456789ABCDEF\r\n>0000000000000000\r\nOK\r\n", ReplyShape::kKey,
       ReplyProblem::kTwoAnswers},
      {"\r\n>0123456789ABCDE\r\nOK\r\n", ReplyShape::kKey, ReplyProblem::kWrongShape},
      {"\r\n>3F0\r\nOK\r\n", ReplyShape::kFlags, ReplyProblem::kWrongShape},
      {"\r\n>" + kNumber + "0\r\nOK\r\n", ReplyShape::kNumber, ReplyProblem::kWrongShape},
      {"\r\n>0123456789ABCDEF\r\nOK\r\n", ReplyShape::kNumber,
       ReplyProblem::kWrongShape},  // a key where a number belongs
      {"OK\r\n", ReplyShape::kFlags, ReplyProblem::kWrongShape},
      // A late copy of the last answer beside this command's refusal.
      {"\r\n>3F01\r\nOK\r\nERROR\r\n", ReplyShape::kFlags, ReplyProblem::kTwoAnswers},
      {"ERROR\r\n\r\n>" + kNumber + "\r\nOK\r\n", ReplyShape::kNumber, ReplyProblem::kTwoAnswers},
      {"\r\n>0123456789ABCDEF\r\nOK\r\n", ReplyShape::kFlags,
       ReplyProblem::kWrongShape},  // a key where flags belong
      {"\r\n>3F01A\r\nOK\r\n", ReplyShape::kFlags, ReplyProblem::kWrongShape},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(EscapedBytes(c.reply));
    EXPECT_EQ(CheckReply(c.reply, c.shape), c.problem);
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

// What the line carried besides the replies, set per command.
struct ScriptedNotes : LineNotes {
  std::map<std::string, std::string> readAwayBefore;
  std::string current;
  const std::string none;
  const std::string& Unaccepted() const override { return none; }
  const std::string& ReadAway() const override {
    const auto found = readAwayBefore.find(current);
    return found == readAwayBefore.end() ? none : found->second;
  }
};

TEST(PanelImage, AnAnswerFollowedByMoreOfOneIsRefusedThoughItsReplyLookedRight) {
  ScriptedSender panel;
  for (int slot = 1; slot <= 4; ++slot)
    panel.AnswerWithData(KeyReadCommand(slot), "0102030405060708");
  panel.AnswerWithData("+s", "0B05");
  for (int n = 1; n <= 6; ++n) panel.AnswerWithData(NumberReadCommand(n), kNumber);
  ScriptedNotes notes;
  // The real answer to +H02 came after a copy of +H01's had been taken for it.
  notes.readAwayBefore["+H03"] = "\r\n>" + kNumber + "\r\nOK\r\n";
  const CommandSender send = [&](const std::string& command, int32_t attempts, int32_t budget,
                                 std::string& reply) {
    notes.current = command;
    panel.Sender()(command, attempts, budget, reply);
  };
  try {
    ReadPanelImage(send, &notes);
    FAIL() << "a read with a doubtful reply returned";
  } catch (const EPanelReadError& e) {
    ASSERT_EQ(e.Refused().size(), 1u);
    EXPECT_EQ(e.Refused()[0].command, "+H02");
    EXPECT_EQ(e.Refused()[0].problem, ReplyProblem::kFollowed);
  }
}

TEST(WriteConfirmation, OnlyAnOkLineAloneConfirmsAWrite) {
  const struct {
    std::string reply;
    bool confirmed;
  } cases[] = {
      {"OK\r\n", true},
      {"\r\nOK\r\n", true},
      {"OK", true},  // the slice ended before the line end
      {"OK\r", true},
      {"", false},
      {"\r\n>0102030405060708\r\nOK\r\n", false},  // another command's answer
      {"OK\r\nOK\r\n", false},
      {"OK\r\nERROR\r\n", false},
      {"NOK\r\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(EscapedBytes(c.reply));
    EXPECT_EQ(WriteConfirmed(c.reply), c.confirmed);
  }
  EXPECT_EQ(EscapedBytes("say \"OK\"\\\r\n\x01"), "say \\\"OK\\\"\\\\\\r\\n\\x01");
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

namespace {

// A slot in no use answers no digits: the copy holds it as the key list
// shows it. Four digits are the flags' answer, never a key.
TEST(PanelImage, AKeySlotInNoUseIsCopiedAsTheKeyListShowsIt) {
  ScriptedSender panel;
  panel.AnswerWithData("+T01", "0102030405060708");
  panel.AnswerWithData("+T02", "0102030405060708");
  panel.AnswerWithData("+T03", "");
  panel.AnswerWithData("+T04", "0102030405060708");
  panel.AnswerWithData("+s", "0B05");
  for (int n = 1; n <= 6; ++n) panel.AnswerWithData(NumberReadCommand(n), kNumber);
  EXPECT_EQ(ReadPanelImage(panel.Sender()).keys[2], "0000000000000000");

  panel.AnswerWithData("+T04", "3F01");
  try {
    ReadPanelImage(panel.Sender());
    FAIL() << "the flags' answer was taken for key 4";
  } catch (const EPanelReadError& e) {
    EXPECT_EQ(e.Refused().front().command, "+T04");
  }
}

}  // namespace
