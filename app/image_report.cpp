#include "app/image_report.h"

#include <QStringList>
#include <string_view>

#include "app/error_display.h"
#include "panel/commands.h"
#include "panel/panel_errors.h"
#include "panel/panel_session.h"
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

// The field a read command fills: "+T02" key 2, "+s" the flags, "+H03"
// number 3.
QString CommandCaption(const std::string& command) {
  if (command.size() == 4 && command.starts_with("+T0"))
    return FieldCaption("key" + command.substr(3));
  if (command.size() == 4 && command.starts_with("+H0"))
    return FieldCaption("number" + command.substr(3));
  if (command == kFlagsReadCommand) return QString::fromUtf8("Флаги «Дозвон» и «24 часа»");
  return QString::fromStdString(command);
}

// The system's words behind a lost line ("Access is denied."), else the
// serial component's own message.
QString SystemWords(const EDeviceError& error) {
  return QString::fromStdString(error.Cause() ? error.Cause()->text : error.what());
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
  static const std::pair<const char*, const char*> kReasons[] = {
      {"not answered", "нет ответа"},
      {"without \"OK\"", "панель ответила без «OK»"},
      {"more than one answer", "в ответе больше одного ответа (запоздавший или повторный)"},
      {"not a key", "ответ не похож на ключ (16 шестнадцатеричных цифр)"},
      {"not the flags", "ответ не похож на флаги (4 шестнадцатеричные цифры)"},
      {"not a number", "ответ не похож на номер (2 знака и 32 шестнадцатеричные цифры)"},
      {"followed by more", "после ответа пришло что-то ещё"},
  };
  QString reason = QString::fromStdString(refused.reason);
  for (const auto& [english, russian] : kReasons) {
    if (refused.reason.find(english) != std::string::npos) {
      reason = QString::fromUtf8(russian);
      break;
    }
  }
  return QString::fromUtf8("%1 (%2): %3")
      .arg(CommandCaption(refused.command), QString::fromStdString(refused.command), reason);
}

QString ExchangeFailureText(const std::exception& error, const QString& port) {
  if (const auto* read = dynamic_cast<const EPanelReadError*>(&error)) {
    QStringList lines;
    for (const RefusedReply& refused : read->Refused()) lines << RefusalText(refused);
    return QString::fromUtf8("Ответы охранной панели на порту %1 не приняты:\n").arg(port) +
           lines.join(QChar('\n'));
  }
  if (dynamic_cast<const EPanelWriteError*>(&error) != nullptr ||
      dynamic_cast<const EPortNotOpen*>(&error) != nullptr)
    return ErrorMessage(error);
  if (dynamic_cast<const EInOutError*>(&error) != nullptr)
    return QString::fromUtf8("Не удалось записать журнал log.txt: ") + ErrorMessage(error);
  if (const auto* device = dynamic_cast<const EDeviceError*>(&error))
    return QString::fromUtf8("Связь через порт %1 прервалась: %2").arg(port, SystemWords(*device));
  return ErrorMessage(error);
}
