// The keys page's reads and writes over a plain key list and a scripted panel.

#include <gtest/gtest.h>

#include "panel/checked_write.h"
#include "panel/keys_page_ops.h"
#include "panel/panel_errors.h"
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

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "no error";
}

TEST(ReadKeys, ReplacesTheListWithTheFourSlotsInDisplayOrder) {
  ScriptedSender panel;
  panel.AnswerWithData("+T01", "0123456789ABCDEF");
  panel.AnswerWithData("+T02", "ABCD");  // short data: padded, then reversed
  panel.replies["+T03"] = "OK\r\n";      // no data
  // slot 4 does not answer
  PlainKeyList list = Placeholders();
  ReadKeys(list, panel.Sender());

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

TEST(WriteKeys, SendsEachRowInPanelOrder) {
  ScriptedSender panel;
  panel.AnswerWithData("+T01", "0123456789ABCDEF");
  PlainKeyList list;
  ReadKeys(list, panel.Sender());
  list.entries[1].value = kPlaceholder;
  panel.sent.clear();
  const std::vector<std::string> expected = {"+T010123456789ABCDEF", "+T02" + kPlaceholder,
                                             "+T03" + kNoKey, "+T04" + kNoKey};
  for (const std::string& command : expected) panel.replies[command] = "OK\r\n";

  // A key read from the panel goes back exactly as the panel gave it.
  EXPECT_NO_THROW(WriteKeys(list, panel.Sender()));
  EXPECT_EQ(panel.Commands(), expected);
  EXPECT_EQ(panel.sent[0].budget, 250);
}

TEST(WriteKeys, EmptyListWritesZerosIntoEverySlot) {
  ScriptedSender panel;
  PlainKeyList list;
  EXPECT_THROW(WriteKeys(list, panel.Sender()), EPanelWriteError);
  EXPECT_EQ(panel.Commands(), (std::vector<std::string>{"+T01" + kNoKey, "+T02" + kNoKey,
                                                        "+T03" + kNoKey, "+T04" + kNoKey}));
}

TEST(WriteKeys, ShortListWritesTheRowsThatExistThenReportsTheMissingRow) {
  ScriptedSender panel;
  PlainKeyList list;
  list.Append("1", kPlaceholder);
  list.Append("2", kPlaceholder);
  EXPECT_EQ(MessageOf([&] { WriteKeys(list, panel.Sender()); }), "List index out of bounds (2)");
  EXPECT_EQ(panel.sent.size(), 2u);
}

TEST(WriteKeys, UnconfirmedSlotsAreReportedAfterAllWereSent) {
  ScriptedSender panel;
  PlainKeyList list = Placeholders();
  panel.replies["+T01" + kPlaceholder] = "OK\r\n";
  panel.replies["+T03" + kPlaceholder] = "OK\r\n";
  EXPECT_EQ(MessageOf([&] { WriteKeys(list, panel.Sender()); }),
            "Охранная панель не подтвердила команды: +T02, +T04");
  EXPECT_EQ(panel.sent.size(), 4u);

  for (int n : {2, 4}) panel.replies["+T0" + std::to_string(n) + kPlaceholder] = "OK\r\n";
  EXPECT_NO_THROW(WriteKeys(list, panel.Sender()));
}

TEST(ReadPresentedKey, PutsTheKeyIntoTheEditAndTheSelectedRow) {
  ScriptedSender panel;
  panel.AnswerWithData("+T00", "0123456789ABCDEF");
  PlainKeyList list = Placeholders();
  list.entries[2].name = "x";
  list.selected_row = 3;
  ReadPresentedKey(list, panel.Sender());

  EXPECT_EQ(list.reader_key, "EFCDAB8967452301");
  EXPECT_EQ(list.entries[2].name, "3");
  EXPECT_EQ(list.entries[2].value, "EFCDAB8967452301");
  for (int i : {0, 1, 3}) EXPECT_EQ(list.entries[i].value, kPlaceholder);
  ASSERT_EQ(panel.sent.size(), 1u);
  EXPECT_EQ(panel.sent[0].budget, 5000);
  EXPECT_EQ(panel.sent[0].attempts, 1);
}

TEST(ReadPresentedKey, NoAnswerPutsZerosIntoEditAndRow) {
  ScriptedSender panel;
  PlainKeyList list = Placeholders();
  list.selected_row = 1;
  ReadPresentedKey(list, panel.Sender());
  EXPECT_EQ(list.reader_key, kNoKey);
  EXPECT_EQ(list.entries[0].value, kNoKey);
}

TEST(ReadPresentedKey, TitleRowSelectedSendsNothingAndChangesNothing) {
  ScriptedSender panel;
  panel.AnswerWithData("+T00", "0123456789ABCDEF");
  PlainKeyList list = Placeholders();
  list.reader_key = "kept";
  list.selected_row = 0;
  ReadPresentedKey(list, panel.Sender());
  EXPECT_TRUE(panel.sent.empty());
  EXPECT_EQ(list.reader_key, "kept");
}

TEST(ReadPresentedKey, EmptyListGetsTheKeyIntoTheEditThenAListError) {
  ScriptedSender panel;
  panel.AnswerWithData("+T00", "0123456789ABCDEF");
  PlainKeyList list;
  list.selected_row = 1;
  EXPECT_EQ(MessageOf([&] { ReadPresentedKey(list, panel.Sender()); }),
            "List index out of bounds (0)");
  EXPECT_EQ(list.reader_key, "EFCDAB8967452301");
  EXPECT_EQ(list.Count(), 0);
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
  ReadKeys(list, session.Sender());
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
