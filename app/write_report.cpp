#include "app/write_report.h"

#include <QStringList>

#include "app/image_report.h"
#include "panel/settings_file.h"

namespace {

QString YesNo(bool on) {
  return on ? QString::fromUtf8("да") : QString::fromUtf8("нет");
}

QString NumberShown(const std::string& digits) {
  const QString text = QString::fromStdString(NumberFileText(digits));
  return text.isEmpty() ? QString::fromUtf8("нет номера") : "«" + text + "»";
}

QString LeftOutLines(const std::vector<LeftOutNumber>& leftOut) {
  QStringList lines;
  for (const LeftOutNumber& number : leftOut)
    lines << QString::fromUtf8(
                 "%1 записан пустым: у события без флажка «Дозвон» охранная панель "
                 "не хранит номер, и «%2» из поля не записан.")
                 .arg(FieldCaption("number" + std::to_string(number.event)), number.text);
  return lines.join(QChar('\n'));
}

QString ReadAgainAdvice() {
  return QString::fromUtf8(
      "Прочитайте настройки из охранной панели, чтобы увидеть, что она хранит, или запишите ещё "
      "раз.");
}

}  // namespace

QString UnreadValuesQuestion(const PanelImage& wanted, const UnreadValues& unread,
                             const QString& port) {
  QStringList lines;
  lines << QString::fromUtf8("Эти значения не прочитаны из охранной панели на порту %1:").arg(port);
  if (unread.keys) {
    for (int slot = 1; slot <= kKeySlots; ++slot) {
      QString line = QString::fromUtf8("Ключ %1: %2")
                         .arg(slot)
                         .arg(QString::fromStdString(wanted.keys[slot - 1]));
      if (unread.keys_list_empty)
        line += QString::fromUtf8(" (список ключей пуст)");
      else if (unread.placeholder[slot - 1])
        line += QString::fromUtf8(" (не прочитан из панели)");
      lines << line;
    }
  }
  if (unread.numbers) {
    for (const PanelEvent& event : kPanelEvents) {
      lines << QString::fromUtf8("%1: %2, «Дозвон» %3, «24 часа» %4")
                   .arg(FieldCaption("number" + std::to_string(event.number)),
                        NumberShown(wanted.numbers[event.number - 1]),
                        YesNo((wanted.dial & event.bit) != 0),
                        YesNo((wanted.day & event.bit) != 0));
    }
  }
  lines << QString() << QString::fromUtf8("Записать их в охранную панель \"Orvex GSM\"?");
  return lines.join(QChar('\n'));
}

QString WriteResultText(const CheckedWrite& result, WritePart part, const QString& port,
                        const std::vector<LeftOutNumber>& leftOut) {
  const bool whole = part == WritePart::kWholePanel;
  QStringList parts;
  if (result.Done()) {
    parts << (whole ? QString::fromUtf8("Настройки записаны в охранную панель \"Orvex GSM\" на "
                                        "порту %1 и прочитаны обратно: панель хранит то же, что "
                                        "окно.")
                    : QString::fromUtf8("Номера дозвона и флаги «Дозвон» и «24 часа» записаны в "
                                        "охранную панель на порту %1 и прочитаны обратно: панель "
                                        "хранит то же, что страница «Номера дозвона»."))
                 .arg(port);
  }
  const Outcome& story = result.story;
  const bool lostAfterWrite = result.LostAfterWrite();
  if (const QString refused = StoryText(story, StoryPart::kWrites); !refused.isEmpty())
    parts << QString::fromUtf8("Охранная панель на порту %1 не подтвердила запись:\n").arg(port) +
                 refused;
  for (const StepOutcome& s : story.steps) {
    if (!s.step.IsWrite() || s.verdict != Verdict::kNoAnswer || result.Lost()) continue;
    parts << QString::fromUtf8(
                 "Охранная панель на порту %1 перестала отвечать при записи: %2; "
                 "дальше ничего не отправлено.\nПанель может хранить запись не до "
                 "конца: проверьте кабель и питание охранной панели и запишите "
                 "ещё раз.")
                 .arg(port, StepInSentence(s.step));
  }
  if (result.Lost()) {
    QString cause;
    try {
      std::rethrow_exception(story.lost);
    } catch (const std::exception& error) {
      cause = ExchangeFailureText(error, port);
    } catch (...) {
      cause = QString::fromUtf8("неизвестная ошибка");
    }
    parts << (lostAfterWrite
                  ? QString::fromUtf8("Запись отправлена, но прочитать панель обратно не удалось: "
                                      "%1.\n")
                            .arg(cause) +
                        ReadAgainAdvice()
                  : QString::fromUtf8("%1.\nПанель может хранить запись не до конца: проверьте "
                                      "кабель и запишите ещё раз.")
                        .arg(cause));
  } else if (result.WritesConfirmed() && !result.Stopped() && !result.read_back) {
    parts << QString::fromUtf8("Запись отправлена, но прочитать панель обратно не удалось:\n") +
                 StoryText(story, StoryPart::kReadBack, ".") + "\n" + ReadAgainAdvice();
  }
  if (result.read_back && !result.Done()) {
    if (result.differences.empty()) {
      parts << QString::fromUtf8("Прочитанная обратно панель хранит то же, что окно.");
    } else {
      // The numbers page's read-back holds the keys as wanted: only what was
      // written differs.
      parts << QString::fromUtf8("Прочитанная обратно панель отличается от окна:\n") +
                   DifferenceLines(result.wanted, result.back, QString::fromUtf8("в окне"),
                                   QString::fromUtf8("в панели"));
    }
  }
  if (!leftOut.empty()) parts << LeftOutLines(leftOut);
  return parts.join(QChar('\n'));
}
