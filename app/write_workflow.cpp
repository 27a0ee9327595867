// The main window's writes from its pages: the whole panel ("Записать
// настройки в "Orvex GSM"") and the numbers page ("Записать"). Each writes
// with every reply examined, reads back and compares behind the wait window,
// and tells the result in one box; values that were not read from the panel
// on the port are written only after a question that names them.

#include <QComboBox>
#include <string>

#include "app/error_display.h"
#include "app/image_report.h"
#include "app/keys_page.h"
#include "app/main_window.h"
#include "app/numbers_page.h"
#include "app/panel_text.h"
#include "app/prompter.h"
#include "app/wait_window.h"
#include "app/write_report.h"
#include "panel/checked_write.h"
#include "panel/commands.h"
#include "panel/panel_image.h"
#include "panel/panel_session.h"
#include "panel/plain_pages.h"
#include "support/log.h"
#include "support/text_codec.h"

namespace {

const char* const kWriteFailed = "Ошибка записи в охранную панель \"Orvex GSM\":";
// Line feed, carriage return, line feed, carriage return: the break the
// write-error box has always shown.
const char* const kWriteFailedBreak = "\n\r\n\r";
const char* const kNumbersWriteFailed = "Номера дозвона не записаны как надо:\n";

void Log(const std::string& utf8) {
  WriteLog(Utf8ToCp1251(utf8), true, EmptyData);
}

// What the box does not show goes to the log: the commands and what came.
void LogResult(const CheckedWrite& result) {
  for (const StepOutcome& s : result.story.steps) {
    if (s.Taken() || s.step.phase == Phase::kProbe) continue;
    const std::string came = EscapedBytes(s.came + s.after);
    const std::string name = CommandName(s.step.command);
    if (s.step.IsWrite() && s.verdict == Verdict::kNoAnswer)
      Log("Нет ответа на запись " + name);
    else if (s.step.IsWrite())
      Log("Не подтверждена запись " + name + ": \"" + came + "\"");
    else
      Log("Чтение обратно: " + name + " " +
          ReplyProblemText(s.verdict == Verdict::kNoAnswer ? ReplyProblem::kNotAnswered : s.problem)
              .toStdString() +
          ": \"" + came + "\"");
  }
  if (result.story.lost) {
    try {
      std::rethrow_exception(result.story.lost);
    } catch (const std::exception& error) {
      Log(error.what());
    } catch (...) {
    }
  }
}

}  // namespace

void TfOrvex::Button2Click() {
  WritePages(WritePart::kWholePanel);
}

void TfOrvex::WritePages(WritePart part) {
  const bool whole = part == WritePart::kWholePanel;
  const std::string device = session_.PortName();
  const QString port = QString::fromStdString(device);
  const auto fail = [whole](const QString& text) {
    if (whole) {
      CurrentPrompter().ShowError(QString::fromUtf8(kWriteFailed) +
                                  QString::fromLatin1(kWriteFailedBreak) + text);
    } else {
      ShowDefaultError(QString::fromUtf8(kNumbersWriteFailed) + text);
    }
  };
  PanelImage wanted;
  try {
    // The numbers page's write leaves the keys as the panel holds them.
    const PlainKeyList noKeys;
    wanted =
        PagesImage(whole ? static_cast<const KeyList&>(*TMGB) : static_cast<const KeyList&>(noKeys),
                   *NumbersGB);
    if (!session_.PortOpen()) throw EPortNotOpen(device);
  } catch (const std::exception& error) {
    Log(error.what());
    fail(ExchangeFailureText(error, port));
    return;
  }

  UnreadValues unread;
  unread.keys = whole && !TMGB->ReadOn(device);
  unread.keys_list_empty = TMGB->Count() == 0;
  for (int slot = 1; slot <= kKeySlots; ++slot)
    unread.placeholder[slot - 1] = TMGB->IsPlaceholder(slot - 1);
  unread.numbers = !NumbersGB->ReadOn(device);
  if (unread.Any() && !CurrentPrompter().AskYesNo(UnreadValuesQuestion(wanted, unread, port)))
    return;

  std::vector<LeftOutNumber> leftOut;
  for (int event : NumbersLeftOut(*NumbersGB))
    leftOut.push_back({event, FromPanelText(NumbersGB->NumberText(event))});

  CheckedWrite result;
  try {
    repaint();
    TWaitScope wait(this, fWait);
    result = WriteAndReadBack(session_, wanted, part);
  } catch (const std::exception& error) {
    Log(error.what());
    fail(ExchangeFailureText(error, port));
    return;
  }
  LogResult(result);

  const QString text = WriteResultText(result, part, port, leftOut);
  if (!result.Done()) {
    fail(text);
    return;
  }
  // The panel holds what the pages show now.
  if (whole) TMGB->MarkReadOn(device);
  NumbersGB->MarkReadOn(device);
  CurrentPrompter().Inform(text);
}
