// The exact copy of a panel: which replies a backup takes, and that a read
// with any reply it cannot take gives nothing at all.

#include <gtest/gtest.h>

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

// The exact read through the runner over a scripted panel: its story, and
// what it read.
Outcome ReadOver(ScriptedSender& panel, PanelImage* image = nullptr) {
  OperationRunner runner(panel.Sender());
  runner.Begin();
  const PanelImage read = SendImageReads(runner, Phase::kRead, ReadOrder::kFirst);
  if (image != nullptr) *image = read;
  return runner.Finish();
}

std::vector<std::string> NotTaken(const Outcome& story) {
  std::vector<std::string> commands;
  for (const StepOutcome& s : story.steps)
    if (!s.Taken()) commands.push_back(s.step.command);
  return commands;
}

TEST(PanelImage, AReadNamesEveryReplyItCouldNotTakeAndEveryCommandIsStillAsked) {
  ScriptedSender panel;
  for (int slot = 1; slot <= 4; ++slot)
    panel.AnswerWithData(KeyReadCommand(slot), "0102030405060708");
  panel.AnswerWithData("+s", "0B05");
  for (int n = 1; n <= 6; ++n) panel.AnswerWithData(NumberReadCommand(n), kNumber);
  panel.replies["+T03"] = "\r\n>0102030405060708\r\nOK\r\nOK\r\n";
  panel.replies.erase("+H06");

  const Outcome story = ReadOver(panel);
  EXPECT_FALSE(story.Ok());
  EXPECT_EQ(NotTaken(story), (std::vector<std::string>{"+H06", "+T03"}));
  EXPECT_EQ(story.steps[6].verdict, Verdict::kNoAnswer);
  EXPECT_EQ(story.steps[9].verdict, Verdict::kExtraAnswer);
  EXPECT_EQ(story.steps[9].came, "\r\n>0102030405060708\r\nOK\r\nOK\r\n");
  EXPECT_EQ(panel.sent.size(), 11u) << "every command is still asked";
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
  PanelImage image;
  EXPECT_TRUE(ReadOver(panel, &image).Ok());
  EXPECT_EQ(image.keys[2], "0000000000000000");

  panel.AnswerWithData("+T04", "3F01");
  EXPECT_EQ(NotTaken(ReadOver(panel)), std::vector<std::string>{"+T04"})
      << "the flags' answer was taken for key 4";
}

}  // namespace
