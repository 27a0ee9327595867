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

// "key2" -> ('k', 2); ('?', 0) for anything else.
std::pair<char, int> Field(std::string_view name) {
  struct Family {
    std::string_view prefix;
    char kind;
    int count;
  };
  static constexpr Family kFamilies[] = {{"key", 'k', kKeySlots},
                                         {"number", 'n', kEventCount},
                                         {"dial", 'd', kEventCount},
                                         {"day", 'h', kEventCount}};
  for (const Family& f : kFamilies) {
    if (name.size() != f.prefix.size() + 1 || !name.starts_with(f.prefix)) continue;
    const int index = name.back() - '0';
    if (index >= 1 && index <= f.count) return {f.kind, index};
  }
  return {'?', 0};
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

// The system's words in the serial component's message: "Unable to read
// from port. (Win32 error 5: Access is denied.)" gives "Access is denied.".
QString SystemWords(const std::string& message) {
  const size_t at = message.find("(Win32 error ");
  const size_t colon = at == std::string::npos ? at : message.find(": ", at);
  const size_t end = message.rfind(')');
  if (colon == std::string::npos || end == std::string::npos || end < colon)
    return QString::fromStdString(message);
  return QString::fromStdString(message.substr(colon + 2, end - colon - 2));
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
  if (dynamic_cast<const EDeviceError*>(&error) != nullptr)
    return QString::fromUtf8("Связь через порт %1 прервалась: %2")
        .arg(port, SystemWords(error.what()));
  return ErrorMessage(error);
}
