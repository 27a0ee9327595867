// The keys page's read over a plain key list and a scripted panel.

#include <gtest/gtest.h>

#include "panel/checked_write.h"
#include "panel/keys_page_ops.h"
#include "panel/panel_session.h"
#include "panel/plain_pages.h"
#include "panel_test_support.h"
#include "scripted_sender.h"

namespace {

const std::string kNoKey(16, '0');
const std::string kPlaceholder = "7777777777777777";

PlainKeyList Placeholders() {
  PlainKeyList list;
  for (int n = 1; n <= 4; ++n) list.Append(std::to_string(n), kPlaceholder);
  return list;
}

TEST(ReadKeys, ReplacesTheListWithTheFourSlotsInDisplayOrder) {
  ScriptedSender panel;
  panel.AnswerWithData("+T01", "0123456789ABCDEF");
  panel.AnswerWithData("+T02", "ABCD");  // short data: padded, then reversed
  panel.replies["+T03"] = "OK\r\n";      // no data
  // slot 4 does not answer
  PlainKeyList list = Placeholders();
  ReadKeys(list, LiteralData(panel.Sender()));

  ASSERT_EQ(list.Count(), 4);
  const std::vector<std::string> values = {"EFCDAB8967452301", "CDAB000000000000", kNoKey, kNoKey};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(list.entries[i].name, std::to_string(i + 1));
    EXPECT_EQ(list.entries[i].value, values[i]);
  }
  EXPECT_EQ(panel.Commands(), (std::vector<std::string>{"+T01", "+T02", "+T03", "+T04"}));
  for (const SentCommand& s : panel.sent) {
    EXPECT_EQ(s.attempts, 1);
    EXPECT_EQ(s.budget, 250);
  }
}

// Through a panel session and a real (fake) line.
class KeysOverTheLineTest : public ::testing::Test {
 protected:
  TestHost host;
  PanelSession session{host};
};

TEST_F(KeysOverTheLineTest, ReadKeysTakesEachSlotsAnswerFromTheLine) {
  host.Open();
  for (const char* data :
       {"0123456789ABCDEF", "1111111111111111", "2222222222222222", "3333333333333333"}) {
    host.Answer({{std::string("\r\n>") + data + "\r\nOK\r\n", 5}});
  }
  PlainKeyList list;
  OperationRunner runner(host);
  ReadKeys(list, StepReader(runner));
  EXPECT_EQ(host.commands, (std::vector<std::string>{"+T01", "+T02", "+T03", "+T04"}));
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.entries[0].value, "EFCDAB8967452301");
  EXPECT_EQ(list.entries[3].value, "3333333333333333");
}

TEST_F(KeysOverTheLineTest, AWriteWithThePortClosedNamesThePortAndSendsNothing) {
  host.comm.SetDeviceName("COM7");
  PlainKeyList list = Placeholders();
  PlainNumbersPage numbers;
  for (const WritePart part : {WritePart::kWholePanel, WritePart::kNumbers}) {
    try {
      WriteAndReadBack(session, PagesImage(list, numbers), part);
      ADD_FAILURE() << "a write on a closed port went on";
    } catch (const EPortNotOpen& e) {
      EXPECT_EQ(e.Port(), "COM7");
    }
  }
  EXPECT_TRUE(host.commands.empty());
}

}  // namespace
