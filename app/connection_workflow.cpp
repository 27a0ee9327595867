// The main window's connection workflow: opening the port named in the port
// box, the probe and the scan of the port list, and the whole-panel read and
// write behind the wait window.

#include <QComboBox>
#include <string>

#include "app/connection_box.h"
#include "app/error_display.h"
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
const char* const kWriteFailed = "Ошибка записи в охранную панель \"Orvex GSM\":";
const char* const kReadFailed = "Ошибка чтения из охранной панели \"Orvex GSM\":";
// Line feed, carriage return, line feed, carriage return: the break the
// write-error box has always shown.
const char* const kWriteFailedBreak = "\n\r\n\r";
const char* const kPlaceholderKey = "7777777777777777";
constexpr int kListedKeys = 4;

void LogError(const std::exception& error) {
  WriteLog(Utf8ToCp1251(error.what()), true, EmptyData);
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
  try {
    OpenPort();
    if (!session_.SendProbe()) return;
    if (CurrentPrompter().AskYesNo(QString::fromUtf8(kPanelFound))) {
      repaint();
      try {
        TWaitScope wait(this, fWait);
        session_.ReadAll(*TMGB, *NumbersGB);
      } catch (const std::exception& error) {
        // Nothing of the read was put in: the user must know that the pages
        // still show what they showed before, and why.
        xCon->setChecked(false);
        LogError(error);
        CurrentPrompter().ShowError(QString::fromUtf8(kReadFailed) +
                                    QString::fromLatin1(kWriteFailedBreak) + ErrorMessage(error));
      }
    } else {
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
    TMGB->Append(std::to_string(TMGB->Count() + 1), kPlaceholderKey);
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
    tries.push_back({order[i], comm1_.Opened(), comm1_.LastOpenFailure()});
  }
  cb1->setEditText(remembered);
  CurrentPrompter().Confirm(QString::fromUtf8(kNoConnection),
                            QString::fromUtf8("Опрошены порты:\n") + PortTriesText(tries));
  const QString notice = PortNotice(port_refusals_);
  if (!notice.isEmpty()) CurrentPrompter().Inform(notice);
}

void TfOrvex::xConMouseDown() {
  RunHandler([this] { Connect(); });
}

void TfOrvex::Button2Click() {
  try {
    repaint();
    TWaitScope wait(this, fWait);
    session_.WriteAll(*TMGB, *NumbersGB);
  } catch (const std::exception& error) {
    LogError(error);
    CurrentPrompter().ShowError(QString::fromUtf8(kWriteFailed) +
                                QString::fromLatin1(kWriteFailedBreak) + ErrorMessage(error));
  }
}
