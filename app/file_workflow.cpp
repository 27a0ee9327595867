// The main window's copy of the panel in a settings file: the backup, the
// restore and the comparison, over the exact whole-panel read and write that
// the command-line tool uses, and in its file format.

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>
#include <string>
#include <string_view>

#include "app/error_display.h"
#include "app/image_report.h"
#include "app/keys_page.h"
#include "app/main_window.h"
#include "app/numbers_page.h"
#include "app/port_notice.h"
#include "app/prompter.h"
#include "app/wait_window.h"
#include "panel/checked_write.h"
#include "panel/image_pages.h"
#include "panel/panel_errors.h"
#include "panel/panel_fields.h"
#include "panel/settings_file.h"
#include "panel/settings_file_fault.h"
#include "support/log.h"
#include "support/system_io.h"
#include "support/text_codec.h"

namespace {

QString Shown(const QString& path) {
  return "«" + QDir::toNativeSeparators(path) + "»";
}

// Where a backup goes unless the user says otherwise: the documents folder,
// named after the moment, so that no earlier backup is replaced unasked.
QString SuggestedBackupPath() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty()) folder = QDir::homePath();
  const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmm"));
  return QDir(folder).filePath(QStringLiteral("orvex-gsm-%1.txt").arg(stamp));
}

QString DocumentsFolder() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return folder.isEmpty() ? QDir::homePath() : folder;
}

// The header the tool writes too: program, port and the moment of the read
// with its offset from UTC.
std::string CopyHeader(const QString& port) {
  return BackupHeader(port.toStdString(), IsoTimeNow());
}

// A name or a value from a refused file, as much of it as a user can read:
// printable characters, at most 40 of them.
QString Quoted(const std::string& bytes) {
  QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  for (QChar& c : text)
    if (!c.isPrint()) c = QChar(0xFFFD);
  if (text.size() > 40) text = text.left(40) + QChar(0x2026);
  return "«" + text + "»";
}

// Why a settings file was refused, naming its fields as the pages name them.
QString SettingsFaultText(const SettingsFileFault& fault) {
  const QString line = QString::fromUtf8("строка %1: ").arg(fault.line);
  const QString field = QString::fromStdString(fault.name);
  const QString plainText =
      QString::fromUtf8(": сохраните его как текст в UTF-8 или ASCII с концами строк LF или CR LF");
  switch (fault.kind) {
    case SettingsFault::kNone:
      return {};
    case SettingsFault::kTooLarge:
      return QString::fromUtf8("файл больше 1 МиБ, это не файл настроек");
    case SettingsFault::kSettingsStore:
      return QString::fromUtf8(
          "это файл настроек окна, а не копия охранной панели: копию делает «Сохранить копию "
          "панели в файл…»");
    case SettingsFault::kUtf16:
      return QString::fromUtf8("файл в кодировке UTF-16") + plainText;
    case SettingsFault::kCrOnlyLineEnds:
      return QString::fromUtf8("строки файла кончаются одним CR") + plainText;
    case SettingsFault::kNotText:
      return QString::fromUtf8("это не файл настроек: в нём двоичные данные, а не текст");
    case SettingsFault::kNoEquals:
      return line + QString::fromUtf8("ожидается «имя=значение», например key1=0123456789ABCDEF");
    case SettingsFault::kUnknownName:
      return line + QString::fromUtf8("неизвестное имя %1").arg(Quoted(fault.name));
    case SettingsFault::kTwice:
      return line +
             QString::fromUtf8("%1 (%2) указан второй раз").arg(FieldCaption(fault.name), field);
    case SettingsFault::kBadValue:
      break;
    case SettingsFault::kMissing: {
      QStringList names;
      for (const std::string& name : fault.missing) names << QString::fromStdString(name);
      return QString::fromUtf8(
                 "в файле нет полей %1: файл настроек называет все 22 поля, как их "
                 "записывает «Сохранить копию панели в файл…»")
          .arg(names.join(QStringLiteral(", ")));
    }
  }
  const QString value = Quoted(fault.value);
  QString rule;
  const auto named = FieldNamed(fault.name);
  switch (named ? named->family : FieldFamily::kDial) {
    case FieldFamily::kKey:
      rule = QString::fromUtf8("16 шестнадцатеричных цифр");
      break;
    case FieldFamily::kNumber:
      rule = QString::fromUtf8(
          "до 16 цифр и «+», или «hex:» и 32 шестнадцатеричные цифры, или "
          "пусто");
      break;
    default:
      rule = QString::fromUtf8("0 или 1");
      break;
  }
  return line + QString::fromUtf8("%1 (%2): нужно %3, а в файле %4")
                    .arg(FieldCaption(fault.name), field, rule, value);
}

// The settings file at path, checked whole before anything is sent: empty
// with the image, else why it was refused.
QString LoadSettings(const QString& path, PanelImage& image) {
  // A pipe would block the opening and a device never end: only a file is
  // read.
  const QFileInfo info(path);
  if (info.exists() && !info.isFile())
    return QString::fromUtf8("это не файл настроек, а папка или устройство");
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return QString::fromUtf8("файл не открывается: ") + file.errorString();
  // A file that grows while it is read stops at the limit.
  const QByteArray bytes = file.read(static_cast<qint64>(kSettingsFileLimit) + 1);
  if (file.error() != QFileDevice::NoError)
    return QString::fromUtf8("файл не читается: ") + file.errorString();
  const SettingsVerdict verdict =
      JudgeSettingsFile(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
  if (verdict.fault.kind != SettingsFault::kNone) return SettingsFaultText(verdict.fault);
  image = verdict.image;
  return {};
}

// Writes text to path whole or not at all: a backup cut short by a full disk
// must not replace the one before it. Empty when done, else the reason.
QString SaveSettings(const QString& path, const std::string& text) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString();
  const auto size = static_cast<qint64>(text.size());
  if (file.write(text.data(), size) != size || !file.commit()) return file.errorString();
  return {};
}

void LogError(const std::exception& error) {
  WriteLog(Utf8ToCp1251(error.what()), true, EmptyData);
}

}  // namespace

bool TfOrvex::ReachPanel(const QString& failedLead) {
  OpenPort();
  const QString port = cb1->currentText();
  if (!session_.PortOpen()) {
    CurrentPrompter().Warn(
        failedLead + ":\n" +
        PortTriesText({{port.toStdString(), false, comm1_.LastOpenFailure(), false, {}}}));
    return false;
  }
  if (!session_.SendProbe()) {
    CurrentPrompter().Warn(
        failedLead + QString::fromUtf8(":\nохранная панель не отвечает на порту %1.").arg(port));
    return false;
  }
  return true;
}

void TfOrvex::ShowImage(const PanelImage& image) {
  ShowPanelImage(image, *TMGB, *NumbersGB, DebugMode);
  // Read from the panel on the port: a write of the pages asks nothing.
  TMGB->MarkReadOn(session_.PortName());
  NumbersGB->MarkReadOn(session_.PortName());
}

// The exact whole-panel read behind the wait window; a failure is told
// under failedLead and gives false.
bool TfOrvex::ReadWholePanel(const QString& failedLead, PanelImage& image, bool twice) {
  const QString port = cb1->currentText();
  try {
    if (!ReachPanel(failedLead)) return false;
    repaint();
    TWaitScope wait(this, fWait);
    image = twice ? session_.ReadImageTwice() : session_.ReadImage();
    return true;
  } catch (const std::exception& error) {
    LogError(error);
    CurrentPrompter().Warn(failedLead + ":\n" + ExchangeFailureText(error, port));
    return false;
  }
}

void TfOrvex::BackupBClick() {
  const QString port = cb1->currentText();
  PanelImage image;
  // A copy that is kept is read twice, in two orders.
  if (!ReadWholePanel(QString::fromUtf8("Копия охранной панели не сохранена"), image, true)) return;
  const QString path = CurrentPrompter().AskSaveFileName(
      QString::fromUtf8("Сохранить копию панели в файл"), SuggestedBackupPath());
  if (path.isEmpty()) return;
  const QString failed = SaveSettings(path, FormatSettingsFile(image, CopyHeader(port)));
  if (!failed.isEmpty()) {
    CurrentPrompter().Warn(QString::fromUtf8("Файл %1 не сохранён: %2.\nПрежний файл, если он был, "
                                             "остался без изменений.")
                               .arg(Shown(path), failed));
    return;
  }
  ShowImage(image);
  CurrentPrompter().Inform(
      QString::fromUtf8("Копия охранной панели с порта %1 сохранена в файл\n%2.")
          .arg(port, Shown(path)));
}

void TfOrvex::RestoreBClick() {
  const QString path = CurrentPrompter().AskOpenFileName(
      QString::fromUtf8("Записать в панель из файла"), DocumentsFolder());
  if (path.isEmpty()) return;
  PanelImage file;
  if (const QString refused = LoadSettings(path, file); !refused.isEmpty()) {
    CurrentPrompter().Warn(
        QString::fromUtf8("Файл %1 не принят, в охранную панель ничего не записано:\n%2")
            .arg(Shown(path), refused));
    return;
  }
  const QString port = cb1->currentText();
  CheckedWrite result;
  try {
    if (!ReachPanel(QString::fromUtf8("Файл не записан в охранную панель"))) return;
    repaint();
    TWaitScope wait(this, fWait);
    result = WriteAndReadBack(session_, file, WritePart::kWholePanel);
  } catch (const std::exception& error) {
    LogError(error);
    CurrentPrompter().Warn(QString::fromUtf8("Файл %1 не записан в охранную панель: %2")
                               .arg(Shown(path), ExchangeFailureText(error, port)));
    return;
  }
  // The read-back still tells in which state a refusal left the panel.
  const Outcome& story = result.story;
  QString unconfirmed;
  if (!result.WritesConfirmed()) {
    LogError(EOperationFailed(story));
    unconfirmed =
        QString::fromUtf8("Охранная панель на порту %1 не подтвердила запись:\n").arg(port) +
        StoryText(story) + ".\n";
  }
  if (result.Stopped() || result.Lost() || !result.read_back) {
    const bool written = !result.Stopped() && (!result.Lost() || result.LostAfterWrite());
    const QString cause =
        result.Lost() ? ExchangeFailureText(EOperationFailed(story), port) : StoryText(story);
    LogError(EOperationFailed(story));
    if (!written) {
      CurrentPrompter().Warn(
          QString::fromUtf8("Запись файла %1 прервана: %2\nОхранная панель может хранить "
                            "запись не до конца: запишите файл ещё раз.")
              .arg(Shown(path), cause));
    } else {
      CurrentPrompter().Warn(unconfirmed +
                             QString::fromUtf8("Файл %1 записан, но прочитать панель обратно "
                                               "не удалось:\n%2")
                                 .arg(Shown(path), cause));
    }
    return;
  }
  const PanelImage& back = result.back;
  ShowImage(back);
  const QString differences =
      DifferenceLines(file, back, QString::fromUtf8("в файле"), QString::fromUtf8("в панели"));
  if (unconfirmed.isEmpty() && differences.isEmpty()) {
    CurrentPrompter().Inform(
        QString::fromUtf8("Файл %1 записан в охранную панель на порту %2 и прочитан обратно: "
                          "панель хранит то же, что файл.")
            .arg(Shown(path), port));
    return;
  }
  QString text = unconfirmed;
  if (differences.isEmpty())
    text +=
        QString::fromUtf8("Прочитанная обратно панель хранит то же, что файл %1.").arg(Shown(path));
  else
    text += QString::fromUtf8("Прочитанная обратно панель отличается от файла %1:\n%2")
                .arg(Shown(path), differences);
  CurrentPrompter().Warn(text);
}

void TfOrvex::CompareBClick() {
  const QString path = CurrentPrompter().AskOpenFileName(
      QString::fromUtf8("Сравнить панель с файлом"), DocumentsFolder());
  if (path.isEmpty()) return;
  PanelImage file;
  if (const QString refused = LoadSettings(path, file); !refused.isEmpty()) {
    CurrentPrompter().Warn(QString::fromUtf8("Файл %1 не принят:\n%2").arg(Shown(path), refused));
    return;
  }
  const QString port = cb1->currentText();
  PanelImage panel;
  if (!ReadWholePanel(QString::fromUtf8("Панель не сравнена с файлом"), panel, false)) return;
  const QString differences =
      DifferenceLines(file, panel, QString::fromUtf8("в файле"), QString::fromUtf8("в панели"));
  if (differences.isEmpty()) {
    CurrentPrompter().Inform(
        QString::fromUtf8("Охранная панель на порту %1 хранит то же, что файл %2.")
            .arg(port, Shown(path)));
    return;
  }
  CurrentPrompter().Warn(
      QString::fromUtf8("Охранная панель на порту %1 отличается от файла %2:\n%3")
          .arg(port, Shown(path), differences));
}
