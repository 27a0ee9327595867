#include "app/image_report.h"

#include <QStringList>
#include <string_view>

#include "app/error_display.h"
#include "panel/commands.h"
#include "panel/panel_errors.h"
#include "panel/panel_fields.h"
#include "panel/panel_session.h"
#include "panel/reply_checks.h"
#include "panel/settings_file.h"
#include "serial/serial_error.h"
#include "support/log.h"

namespace {

// "key2" -> ('k', 2), the index counted from 1 as captions count; ('?', 0)
// for anything else.
std::pair<char, int> Field(std::string_view name) {
  const auto field = FieldNamed(name);
  if (!field) return {'?', 0};
  static constexpr char kKinds[] = {'k', 'n', 'd', 'h'};
  return {kKinds[static_cast<int>(field->family)], field->index + 1};
}

QString EventCaption(int event) {
  return QString::fromUtf8(kPanelEvents[static_cast<size_t>(event - 1)].caption);
}

QString ShownValue(const PanelImage& image, const std::string& field) {
  const QString value = QString::fromStdString(SettingsFieldValue(image, field));
  switch (Field(field).first) {
    case 'n':
      return value.isEmpty() ? QString::fromUtf8("нет номера") : "«" + value + "»";
    case 'd':
    case 'h':
      return value == "1" ? QString::fromUtf8("да") : QString::fromUtf8("нет");
    default:
      return "«" + value + "»";
  }
}

// The system's words behind a lost line ("Access is denied."), else the
// serial component's own message.
QString SystemWords(const EDeviceError& error) {
  return QString::fromStdString(error.Cause() ? error.Cause()->text : error.what());
}

QString LowerFirst(QString text) {
  if (!text.isEmpty()) text[0] = text[0].toLower();
  return text;
}

}  // namespace

QString FieldCaption(const std::string& field) {
  const auto [kind, index] = Field(field);
  switch (kind) {
    case 'k':
      return QString::fromUtf8("Ключ %1").arg(index);
    case 'n':
      return QString::fromUtf8("Номер %1 (%2)").arg(index).arg(EventCaption(index));
    case 'd':
      return QString::fromUtf8("Дозвон %1 (%2)").arg(index).arg(EventCaption(index));
    case 'h':
      return QString::fromUtf8("24 часа %1 (%2)").arg(index).arg(EventCaption(index));
    default:
      return QString::fromStdString(field);
  }
}

QString CommandCaption(const std::string& command) {
  if (CommandName(command) == kPresentedKeyCommand) return QString::fromUtf8("Ключ у считывателя");
  const std::vector<PanelField> fields = FieldsOfCommand(command);
  if (fields.size() == 1) return FieldCaption(FieldName(fields.front()));
  if (!fields.empty()) return QString::fromUtf8("Флаги «Дозвон» и «24 часа»");
  return QString::fromUtf8("Запрос к охранной панели");
}

QString CommandInSentence(const std::string& command) {
  return LowerFirst(CommandCaption(command));
}

QString ReplyProblemText(ReplyProblem problem) {
  switch (problem) {
    case ReplyProblem::kNotAnswered:
      return QString::fromUtf8("охранная панель не ответила");
    case ReplyProblem::kRefused:
      return QString::fromUtf8("охранная панель отказала");
    default:
      return QString::fromUtf8("ответ охранной панели искажён или относится к другому запросу");
  }
}

QString DifferenceLines(const PanelImage& first, const PanelImage& second,
                        const QString& firstLabel, const QString& secondLabel) {
  QStringList lines;
  for (const std::string& field : ImageDifferences(first, second))
    lines << QString::fromUtf8("%1: %2 %3, %4 %5")
                 .arg(FieldCaption(field), firstLabel, ShownValue(first, field), secondLabel,
                      ShownValue(second, field));
  return lines.join(QChar('\n'));
}

QString RefusalText(const RefusedReply& refused) {
  return CommandCaption(refused.command) + ": " + ReplyProblemText(refused.problem);
}

QString UnconfirmedLines(const std::vector<std::string>& commands,
                         const std::vector<std::string>& came) {
  QStringList lines;
  for (size_t i = 0; i < commands.size(); ++i) {
    const std::string reply = i < came.size() ? came[i] : std::string();
    const QString why = ReplyProblemText(WriteReplyProblem(reply));
    lines << CommandCaption(commands[i]) + ": " + why;
  }
  return lines.join(QChar('\n'));
}

QString ExchangeFailureText(const std::exception& error, const QString& port) {
  const QString at = port.isEmpty() ? QString() : QString::fromUtf8(" на порту %1").arg(port);
  if (const auto* read = dynamic_cast<const EPanelReadError*>(&error)) {
    QStringList lines;
    for (const RefusedReply& refused : read->Refused()) lines << RefusalText(refused);
    return QString::fromUtf8("Ответы охранной панели%1 не приняты:\n").arg(at) +
           lines.join(QChar('\n'));
  }
  if (const auto* reply = dynamic_cast<const EPanelReplyError*>(&error))
    return QString::fromUtf8("Не удалось прочитать %1: %2")
        .arg(CommandInSentence(reply->Command()), ReplyProblemText(reply->Problem()));
  if (const auto* write = dynamic_cast<const EPanelWriteError*>(&error))
    return QString::fromUtf8("Охранная панель%1 не подтвердила запись:\n").arg(at) +
           UnconfirmedLines(write->Commands(), write->Replies());
  if (const auto* stopped = dynamic_cast<const EPanelStoppedAnswering*>(&error))
    return QString::fromUtf8(
               "Охранная панель%1 перестала отвечать при записи: %2; дальше ничего "
               "не отправлено")
        .arg(at, CommandInSentence(stopped->Command()));
  if (const auto* closed = dynamic_cast<const EPortNotOpen*>(&error))
    return QString::fromUtf8(
               "Порт %1 не открыт: охранной панели ничего не отправлено. Щёлкните "
               "«Связь с охранной панелью», чтобы найти панель")
        .arg(QString::fromStdString(closed->Port()));
  if (dynamic_cast<const EListError*>(&error) != nullptr)
    return QString::fromUtf8(
        "В списке ключей не четыре строки: прочитайте настройки из охранной "
        "панели, чтобы список заполнился");
  if (dynamic_cast<const EConvertError*>(&error) != nullptr)
    return QString::fromUtf8("Ответ охранной панели искажён: в нём не шестнадцатеричные цифры");
  if (dynamic_cast<const EInOutError*>(&error) != nullptr)
    return QString::fromUtf8("Не удалось записать журнал log.txt: ") + ErrorMessage(error);
  if (const auto* device = dynamic_cast<const EDeviceError*>(&error))
    return (
        port.isEmpty()
            ? QString::fromUtf8("Связь с охранной панелью прервалась: %1").arg(SystemWords(*device))
            : QString::fromUtf8("Связь через порт %1 прервалась: %2")
                  .arg(port, SystemWords(*device)));
  return ErrorMessage(error);
}
