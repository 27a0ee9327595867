#include "app/image_report.h"

#include <QStringList>
#include <string_view>

#include "app/error_display.h"
#include "panel/commands.h"
#include "panel/panel_errors.h"
#include "panel/panel_fields.h"
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

QString StepCaption(const Step& step) {
  switch (step.subject) {
    case Subject::kProbe:
      return QString::fromUtf8("Запрос связи с охранной панелью");
    case Subject::kPresentedKey:
      return QString::fromUtf8("Ключ у считывателя");
    case Subject::kKey:
      return FieldCaption("key" + std::to_string(step.index));
    case Subject::kFlags:
      return QString::fromUtf8("Флаги «Дозвон» и «24 часа»");
    case Subject::kNumber:
      break;
  }
  return FieldCaption("number" + std::to_string(step.index));
}

QString StepInSentence(const Step& step) {
  return LowerFirst(StepCaption(step));
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

namespace {

// Why steps[i] was not taken, and the step to name for it (the one whose
// answer came twice or late, else itself). Empty for a step taken or in
// doubt.
QString StepWhy(const Outcome& story, size_t i, const Step*& named) {
  const StepOutcome& s = story.steps[i];
  named = &s.step;
  switch (s.verdict) {
    case Verdict::kTaken:
    case Verdict::kInDoubt:
      return {};
    case Verdict::kNoAnswer:
      return ReplyProblemText(ReplyProblem::kNotAnswered);
    case Verdict::kRefused:
      return ReplyProblemText(s.problem);
    case Verdict::kExtraAnswer:
      break;
  }
  if (s.repeats < 0 && s.fits >= 0)
    return QString::fromUtf8(
               "охранная панель ответила больше раз, чем её спросили (лишний ответ похож на "
               "ответ на «%1»)")
        .arg(StepInSentence(story.steps[s.fits].step));
  if (s.repeats < 0)
    return QString::fromUtf8("охранная панель ответила больше раз, чем её спросили");
  if (static_cast<size_t>(s.repeats) == i)
    return QString::fromUtf8("ответ охранной панели пришёл дважды");
  const StepOutcome& owner = story.steps[s.repeats];
  named = &owner.step;
  return (owner.verdict == Verdict::kNoAnswer
              ? QString::fromUtf8("ответ охранной панели опоздал и пришёл вместе с ответом на «%1»")
              : QString::fromUtf8(
                    "ответ охранной панели пришёл дважды, второй раз — вместе с ответом на «%1»"))
      .arg(LowerFirst(StepCaption(s.step)));
}

QString StepLine(const Outcome& story, size_t i) {
  const Step* named = nullptr;
  const QString why = StepWhy(story, i, named);
  if (why.isEmpty()) return {};
  const QString lead = story.steps[i].step.phase == Phase::kReadBack
                           ? QString::fromUtf8("Чтение обратно: ")
                           : QString();
  return lead + StepCaption(*named) + ": " + why;
}

// A read that failed at one field: "Не удалось прочитать ключ 2: охранная
// панель не ответила", and the other fields that failed after it.
QString ReadFailureText(const Outcome& story) {
  const int seen = story.FaultSeenAt();
  if (seen < 0) return StoryText(story);
  const Step* named = nullptr;
  const QString why = StepWhy(story, static_cast<size_t>(seen), named);
  if (why.isEmpty() || named->phase != Phase::kRead) return StoryText(story);
  QString text =
      QString::fromUtf8("Не удалось прочитать %1: %2").arg(LowerFirst(StepCaption(*named)), why);
  QStringList more;
  for (size_t i = 0; i < story.steps.size(); ++i)
    if (static_cast<int>(i) != seen)
      if (const QString line = StepLine(story, i); !line.isEmpty()) more << line;
  if (!more.isEmpty()) text += ";\n" + more.join(QChar('\n'));
  return text;
}

}  // namespace

QString StoryText(const Outcome& story, StoryPart part, const QString& lineEnd) {
  // The writes' lines leave out a write nothing came to: the box says the
  // panel stopped there.
  const auto kept = [&](size_t i) {
    const Step& step = story.steps[i].step;
    switch (part) {
      case StoryPart::kAll:
        return true;
      case StoryPart::kWrites:
        return step.phase != Phase::kReadBack && story.steps[i].verdict != Verdict::kNoAnswer;
      case StoryPart::kReadBack:
        return step.phase == Phase::kReadBack;
    }
    return true;
  };
  const auto line = [&](size_t i) {
    if (part == StoryPart::kAll) return StepLine(story, i);
    const Step* named = nullptr;
    const QString why = StepWhy(story, i, named);
    return why.isEmpty() ? why : StepCaption(*named) + ": " + why + lineEnd;
  };
  QStringList lines;
  const int fault = story.FaultSeenAt();
  if (fault >= 0 && kept(static_cast<size_t>(fault))) lines << line(static_cast<size_t>(fault));
  int doubtFrom = -1;
  for (size_t i = 0; i < story.steps.size(); ++i) {
    if (static_cast<int>(i) == fault || !kept(i)) continue;
    if (story.steps[i].verdict == Verdict::kInDoubt && doubtFrom < 0)
      doubtFrom = story.steps[i].span_from;
    if (const QString text = line(i); !text.isEmpty()) lines << text;
  }
  if (doubtFrom >= 0)
    lines << QString::fromUtf8(
                 "Охранная панель ответила больше раз, чем её спросили: ни одна запись, начиная "
                 "с «%1», не может считаться подтверждённой")
                 .arg(LowerFirst(StepCaption(story.steps[doubtFrom].step)));
  lines.removeAll(QString());
  return lines.join(QChar('\n'));
}

QString ExchangeFailureText(const std::exception& error, const QString& port) {
  const QString at = port.isEmpty() ? QString() : QString::fromUtf8(" на порту %1").arg(port);
  if (const auto* failed = dynamic_cast<const EOperationFailed*>(&error)) {
    const Outcome& story = failed->Story();
    if (story.lost) {
      try {
        std::rethrow_exception(story.lost);
      } catch (const std::exception& lost) {
        return ExchangeFailureText(lost, port);
      }
    }
    const int seen = story.FaultSeenAt();
    if (seen >= 0 &&
        story.steps[static_cast<size_t>(story.Blamed(static_cast<size_t>(seen)))].step.phase ==
            Phase::kRead)
      return ReadFailureText(story);
    return QString::fromUtf8("Ответы охранной панели%1 не приняты:\n").arg(at) + StoryText(story);
  }
  if (const auto* differ = dynamic_cast<const EImagesDiffer*>(&error)) {
    QStringList fields;
    for (const std::string& field : differ->Fields()) fields << FieldCaption(field);
    return QString::fromUtf8("Два чтения охранной панели%1 дали разное: %2. Прочитайте ещё раз")
        .arg(at, fields.join(", "));
  }
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
