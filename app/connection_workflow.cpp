// The main window's connection workflow: opening the port named in the port
// box, the probe and the scan of the port list, and the whole-panel read
// behind the wait window. The writes are in write_workflow.cpp.

#include <QComboBox>
#include <string>

#include "app/connection_box.h"
#include "app/error_display.h"
#include "app/image_report.h"
#include "app/keys_page.h"
#include "app/main_window.h"
#include "app/numbers_page.h"
#include "app/port_notice.h"
#include "app/prompter.h"
#include "app/wait_window.h"
#include "panel/commands.h"
#include "panel/panel_port.h"
#include "panel/panel_session.h"
#include "serial/port_choice.h"
#include "support/log.h"
#include "support/text_codec.h"

namespace {

const char* const kNoConnection = "Нет связи с охранной панелью \"Orvex-GSM\"!";
const char* const kPanelFound = "Обнаружена охранная панель \"Orvex GSM\", прочитать настройки?";
const char* const kReadFailed = "Ошибка чтения из охранной панели \"Orvex GSM\":";
// Line feed, carriage return, line feed, carriage return: the break of the
// write-error box, which the read-error box shares.
const char* const kWriteFailedBreak = "\n\r\n\r";
const char* const kPlaceholderKey = "7777777777777777";
constexpr int kListedKeys = 4;

void LogError(const std::exception& error) {
  WriteLog(Utf8ToCp1251(error.what()), true, EmptyData);
}

// A text that ends as a sentence does.
QString Sentence(const QString& text) {
  if (text.endsWith('.') || text.endsWith('!') || text.endsWith('?')) return text;
  return text + '.';
}

}  // namespace

void TfOrvex::OpenPort() {
  // The port box's text is the device name, whatever the user typed.
  ReopenForPanel(comm1_, cb1->currentText().toStdString());
  // The open stays silent; a refusal the user can remedy is told after the
  // scan.
  NoteRemediableRefusal(port_refusals_, comm1_.LastOpenFailure());
}

void TfOrvex::Button1Click() {
  probe_answered_ = false;
  read_failure_.clear();
  try {
    OpenPort();
    if (!session_.SendProbe()) return;
    probe_answered_ = true;
    const std::string port = session_.PortName();
    if (CurrentPrompter().AskYesNo(QString::fromUtf8(kPanelFound))) {
      repaint();
      try {
        TWaitScope wait(this, fWait);
        session_.ReadAll(*TMGB, *NumbersGB);
        TMGB->MarkReadOn(port);
        NumbersGB->MarkReadOn(port);
      } catch (const std::exception& error) {
        // Nothing of the read was put in: the user must know that the pages
        // still show what they showed before, and why.
        xCon->setChecked(false);
        TMGB->MarkReadOn({});
        NumbersGB->MarkReadOn({});
        LogError(error);
        read_failure_ = Sentence(ExchangeFailureText(error, cb1->currentText()));
        CurrentPrompter().ShowError(
            QString::fromUtf8(kReadFailed) + QString::fromLatin1(kWriteFailedBreak) +
            read_failure_ + QString::fromUtf8("\nСтраницы показывают то же, что до чтения."));
      }
    } else {
      // No read follows: the probe's end is paid now, so that what came
      // after it is not laid on a later command.
      session_.EndProbe();
      // The pages hold nothing of this panel: a write asks before it sends them.
      TMGB->MarkReadOn({});
      NumbersGB->MarkReadOn({});
      FillKeyPlaceholders();
    }
  } catch (const std::exception& error) {
    // The probe's own errors are only logged: the scan goes on quietly.
    xCon->setChecked(false);
    LogError(error);
  }
}

void TfOrvex::FillKeyPlaceholders() {
  while (TMGB->Count() < kListedKeys) {
    TMGB->AppendPlaceholder(std::to_string(TMGB->Count() + 1), kPlaceholderKey);
  }
}

void TfOrvex::Connect() {
  port_refusals_.clear();
  const QString remembered = cb1->currentText();
  std::vector<std::string> listed;
  for (int entry = 0; entry < cb1->count(); ++entry)
    listed.push_back(cb1->itemText(entry).toStdString());
  const std::vector<std::string> order = ScanOrder(remembered.toStdString(), listed);
  std::vector<PortTry> tries;
  for (size_t i = 0; i < order.size(); ++i) {
    // After the box's own text come the list's entries: each is selected, so
    // that the box's text becomes the entry's text.
    if (i > 0) {
      cb1->setCurrentIndex(static_cast<int>(i - 1));
      cb1->setEditText(QString::fromStdString(order[i]));
    }
    Button1Click();
    if (xCon->isChecked()) return;
    tries.push_back(
        {order[i], comm1_.Opened(), comm1_.LastOpenFailure(), probe_answered_, read_failure_});
  }
  cb1->setEditText(remembered);
  // No panel anywhere: the port is left closed and named as the box shows it,
  // so that what follows ("Читать ключ", a write) speaks of the port the
  // user sees, not of the last one the scan tried.
  if (comm1_.Opened()) comm1_.CloseDevice();
  comm1_.SetDeviceName(remembered.toStdString());
  CurrentPrompter().Confirm(QString::fromUtf8(kNoConnection),
                            QString::fromUtf8("Опрошены порты:\n") + PortTriesText(tries));
  const QString notice = PortNotice(port_refusals_);
  if (!notice.isEmpty()) CurrentPrompter().Inform(notice);
}

void TfOrvex::xConMouseDown() {
  RunHandler([this] { Connect(); });
}
