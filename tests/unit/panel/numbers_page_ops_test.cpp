// The dialing numbers page's read and write over a plain page and a scripted
// panel.

#include <gtest/gtest.h>

#include "panel/encodings.h"
#include "panel/numbers_page_ops.h"
#include "panel/panel_errors.h"
#include "panel/plain_pages.h"
#include "scripted_sender.h"
#include "support/log.h"

namespace {

const std::string kNoNumber(32, '0');

// Records every change of a box, as the window's click handlers would see it.
class RecordingPage : public PlainNumbersPage {
 public:
  std::vector<std::string> changes;

  void SetDialTicked(int event, bool ticked) override {
    if (DialTicked(event) != ticked) changes.push_back("Call" + Mark(event, ticked));
    PlainNumbersPage::SetDialTicked(event, ticked);
  }
  void SetDayTicked(int event, bool ticked) override {
    if (DayTicked(event) != ticked) changes.push_back("H24" + Mark(event, ticked));
    PlainNumbersPage::SetDayTicked(event, ticked);
  }
  void UntickAll() {
    for (int n = 1; n <= 6; ++n) {
      SetDialTicked(n, false);
      SetDayTicked(n, false);
    }
    changes.clear();
  }

 private:
  static std::string Mark(int event, bool ticked) {
    return std::to_string(event) + (ticked ? "+" : "-");
  }
};

std::string NumberData(const std::string& number) {
  return "01" + EncodeNumber(number);
}

class NumbersReadTest : public ::testing::Test {
 protected:
  void SetUp() override { old_debug_ = DebugMode; }
  void TearDown() override { DebugMode = old_debug_; }

  ScriptedSender panel;
  RecordingPage page;

 private:
  bool old_debug_ = false;
};

TEST_F(NumbersReadTest, FlagsTickTheBoxesOfSetBitsThenTheNumbersAreRead) {
  page.UntickAll();
  panel.AnswerWithData("+s", "3F3F");
  for (int n = 1; n <= 6; ++n) {
    panel.AnswerWithData("+H0" + std::to_string(n), NumberData("+7900" + std::to_string(n)));
  }
  ReadNumsBClick(page, LiteralData(panel.Sender()), false);

  EXPECT_TRUE(page.enabled);
  EXPECT_EQ(page.changes,
            (std::vector<std::string>{"Call1+", "Call2+", "Call3+", "Call4+", "Call5+", "Call6+",
                                      "H241+", "H242+", "H243+", "H244+", "H245+", "H246+"}));
  for (int n = 1; n <= 6; ++n) {
    EXPECT_EQ(page.NumberText(n), "+7900" + std::to_string(n));
    EXPECT_TRUE(page.RowOf(n).field_enabled);
  }
  EXPECT_EQ(panel.Commands(),
            (std::vector<std::string>{"+s", "+H01", "+H02", "+H03", "+H04", "+H05", "+H06"}));
  for (const SentCommand& s : panel.sent) {
    EXPECT_EQ(s.attempts, 1);
    EXPECT_EQ(s.budget, 500);
  }
}

TEST_F(NumbersReadTest, EveryBoxShowsItsBitAndUntickedEventsAreEmptiedNotRead) {
  // What an earlier panel (or the restored session) left ticked must not
  // survive a read of a panel that has those flags off.
  page.SetDialTicked(2, false);
  page.SetDayTicked(4, false);
  for (int n = 1; n <= 6; ++n) page.SetNumberText(n, "old");
  page.changes.clear();
  panel.AnswerWithData("+s", "0500");
  for (int n : {1, 3}) panel.AnswerWithData("+H0" + std::to_string(n), NumberData("1"));
  ReadNumsBClick(page, LiteralData(panel.Sender()), false);

  EXPECT_EQ(page.changes, (std::vector<std::string>{"Call4-", "Call5-", "Call6-", "H241-", "H242-",
                                                    "H243-", "H245-", "H246-"}));
  for (int n = 1; n <= 6; ++n) {
    EXPECT_EQ(page.DialTicked(n), n == 1 || n == 3) << n;
    EXPECT_FALSE(page.DayTicked(n)) << n;
    EXPECT_EQ(page.NumberText(n), n == 1 || n == 3 ? "1" : "") << n;
    EXPECT_EQ(page.RowOf(n).field_enabled, n == 1 || n == 3) << n;
  }
  EXPECT_EQ(panel.Commands(), (std::vector<std::string>{"+s", "+H01", "+H03"}));
}

TEST_F(NumbersReadTest, NoFlagsAnswerDisablesThePageAndAsksForEveryNumber) {
  page.UntickAll();
  page.SetDayTicked(3, true);
  page.changes.clear();
  panel.AnswerWithData("+H01", NumberData("12"));
  panel.AnswerWithData("+H02", "01" + kNoNumber);  // the panel has no number
  // events 3 to 6 do not answer
  ReadNumsBClick(page, LiteralData(panel.Sender()), false);

  EXPECT_FALSE(page.enabled);
  EXPECT_EQ(page.changes,
            (std::vector<std::string>{"Call1+", "Call2+", "Call3+", "Call4+", "Call5+", "Call6+",
                                      "Call2-", "Call3-", "Call4-", "Call5-", "Call6-"}));
  EXPECT_EQ(page.NumberText(1), "12");
  EXPECT_TRUE(page.RowOf(1).field_enabled);
  for (int n = 2; n <= 6; ++n) {
    EXPECT_EQ(page.NumberText(n), "");
    EXPECT_FALSE(page.RowOf(n).field_enabled);
  }
  EXPECT_TRUE(page.DayTicked(3));  // the 24-hour boxes keep their state
  EXPECT_FALSE(page.DayTicked(1));
  EXPECT_EQ(panel.sent.size(), 7u);
}

TEST_F(NumbersReadTest, ShortFlagsDataEnablesThePageThenFailsBeforeAnyBoxChanges) {
  page.enabled = false;
  page.UntickAll();
  page.SetNumberText(1, "kept");
  panel.AnswerWithData("+s", "3F");
  try {
    ReadNumsBClick(page, LiteralData(panel.Sender()), false);
    ADD_FAILURE() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'$' is not a valid integer value");
  }
  EXPECT_TRUE(page.enabled);
  EXPECT_TRUE(page.changes.empty());
  EXPECT_EQ(page.NumberText(1), "kept");
  EXPECT_EQ(panel.Commands(), std::vector<std::string>{"+s"});
}

TEST_F(NumbersReadTest, BadNumberStopsTheReadWithEarlierEventsSet) {
  for (int n = 1; n <= 6; ++n) page.SetNumberText(n, "old");
  panel.AnswerWithData("+s", "3F00");
  panel.AnswerWithData("+H01", NumberData("1"));
  panel.AnswerWithData("+H02", NumberData("2"));
  panel.AnswerWithData("+H03", "013G");
  panel.AnswerWithData("+H04", NumberData("4"));
  EXPECT_THROW(ReadNumsBClick(page, LiteralData(panel.Sender()), false), EConvertError);

  EXPECT_EQ(page.NumberText(1), "1");
  EXPECT_EQ(page.NumberText(2), "2");
  EXPECT_EQ(page.NumberText(3), "");
  EXPECT_EQ(page.NumberText(4), "old");
  EXPECT_EQ(panel.sent.size(), 4u);
}

TEST_F(NumbersReadTest, SpareBoxesAreShownOnlyInDebugMode) {
  for (const bool debug : {false, true}) {
    page.spare_boxes_visible = !debug;
    ReadNumsBClick(page, LiteralData(panel.Sender()), debug);
    EXPECT_EQ(page.spare_boxes_visible, debug);
  }
}

TEST_F(NumbersReadTest, ANumberOfSixteenCharactersIsTakenWhole) {
  panel.AnswerWithData("+s", "0100");
  panel.AnswerWithData("+H01", NumberData(std::string(16, '7')));
  page.UntickAll();
  ReadNumsBClick(page, LiteralData(panel.Sender()), false);
  EXPECT_EQ(page.NumberText(1), std::string(16, '7'));
}

}  // namespace
