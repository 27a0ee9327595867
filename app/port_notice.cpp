#include "app/port_notice.h"

#include <QStringList>
#include <algorithm>

#include "support/group_membership.h"

namespace {

QString HolderList(const std::vector<PortHolder>& holders) {
  QStringList names;
  for (const PortHolder& holder : holders)
    names << QString::fromUtf8("%1 (PID %2)")
                 .arg(QString::fromStdString(holder.program))
                 .arg(holder.pid);
  return names.join(QStringLiteral(", "));
}

// What a member of no group, or of the group already, can do: the
// administrator decides.
QString PermissionRemedy(const std::string& group) {
  const QString name = QString::fromStdString(group);
  if (!group.empty()) {
    switch (UserGroupMembership(group)) {
      case GroupMembership::kNotListed:
        return QString::fromUtf8(
                   "Добавьте пользователя в группу %1 (sudo usermod -aG %1 $USER) и войдите в "
                   "систему заново.")
            .arg(name);
      case GroupMembership::kNotInSession:
        return QString::fromUtf8(
                   "Вы уже в группе %1, но этот сеанс начат раньше: войдите в систему заново или "
                   "выполните newgrp %1.")
            .arg(name);
      case GroupMembership::kInSession:
        break;
    }
  }
  return QString::fromUtf8("Попросите администратора дать вам права на чтение и запись порта.");
}

QString LowerFirst(QString text) {
  if (!text.isEmpty()) text[0] = text[0].toLower();
  return text;
}

// Why a device could not be opened, in a few words and the system's own.
QString CauseText(const OpenFailure& failure) {
  const QString cause =
      failure.text.empty() ? QString() : " (" + QString::fromStdString(failure.text) + ")";
  switch (failure.kind) {
    case OpenFailureKind::kNone:
      return QString::fromUtf8("открыт.");
    case OpenFailureKind::kNoDevice:
      return QString::fromUtf8("такого порта нет%1.").arg(cause);
    case OpenFailureKind::kPermission:
      return QString::fromUtf8("нет прав доступа%1.").arg(cause);
    case OpenFailureKind::kBusy:
      if (failure.holders.empty())
        return QString::fromUtf8("занят другой программой%1.").arg(cause);
      return QString::fromUtf8("занят программой %1.").arg(HolderList(failure.holders));
    case OpenFailureKind::kNotSerialPort:
      return QString::fromUtf8("это не последовательный порт%1.").arg(cause);
    case OpenFailureKind::kOther:
      break;
  }
  return QString::fromUtf8("не открывается%1.").arg(cause);
}

// What the user can do about a device that could not be opened.
QString NextStep(const OpenFailure& failure) {
  switch (failure.kind) {
    case OpenFailureKind::kNoDevice:
      // Windows names its ports "\\.\COMn"; there the Device Manager tells
      // which COM name an adapter got.
      if (failure.device.starts_with("\\\\.\\"))
        return QString::fromUtf8(
            "Такого порта нет: посмотрите в Диспетчере устройств (раздел «Порты (COM и LPT)»), "
            "под каким именем установлен адаптер, и выберите это имя в списке портов.");
      return QString::fromUtf8(
          "Такого порта нет: подключите адаптер или выберите в списке порт, который есть.");
    case OpenFailureKind::kPermission:
      return QString::fromUtf8("Нет прав доступа: ") + LowerFirst(PermissionRemedy(failure.group));
    case OpenFailureKind::kBusy:
      return QString::fromUtf8(
          "Порт занят: закройте программу, которая его заняла, и щёлкните "
          "«Связь с охранной панелью».");
    case OpenFailureKind::kNotSerialPort:
      return QString::fromUtf8("Это не последовательный порт: выберите в списке другой порт.");
    case OpenFailureKind::kNone:
    case OpenFailureKind::kOther:
      break;
  }
  return QString::fromUtf8(
      "Порт не открывается: отключите адаптер, подключите его снова и "
      "щёлкните «Связь с охранной панелью».");
}

}  // namespace

QString OpenFailureText(const OpenFailure& failure) {
  switch (failure.kind) {
    case OpenFailureKind::kPermission:
      return CauseText(failure) + " " + PermissionRemedy(failure.group);
    case OpenFailureKind::kBusy:
      return CauseText(failure) + QString::fromUtf8(" Закройте её.");
    default:
      return CauseText(failure);
  }
}

QString PortTriesText(const std::vector<PortTry>& tries) {
  // Each port once: a second probe of it (the scan probes the port box's
  // port again) keeps what told the user most.
  const auto rank = [](const PortTry& t) { return t.answered ? 3 : t.opened ? 2 : 1; };
  std::vector<PortTry> ports;
  for (const PortTry& tried : tries) {
    auto same = std::find_if(ports.begin(), ports.end(),
                             [&](const PortTry& p) { return p.name == tried.name; });
    if (same == ports.end())
      ports.push_back(tried);
    else if (rank(tried) >= rank(*same))
      *same = tried;
  }
  QStringList lines;
  QStringList remedies;
  const auto remedy = [&remedies](const QString& text) {
    if (!remedies.contains(text)) remedies << text;
  };
  for (const PortTry& tried : ports) {
    QString line = QString::fromStdString(tried.name);
    const std::string& device = tried.failure.device;
    // "\\.\COM2" says no more than "COM2".
    if (!device.empty() && device != tried.name && device != "\\\\.\\" + tried.name)
      line += " (" + QString::fromStdString(device) + ")";
    line += ": ";
    if (tried.answered) {
      line += tried.read_failure.isEmpty()
                  ? QString::fromUtf8("охранная панель ответила.")
                  : QString::fromUtf8("охранная панель ответила, но настройки не прочитаны — ") +
                        LowerFirst(tried.read_failure);
      if (!tried.read_failure.isEmpty())
        remedy(
            QString::fromUtf8("Охранная панель ответила, но чтение не удалось: проверьте кабель "
                              "и щёлкните «Связь с охранной панелью», чтобы прочитать настройки "
                              "ещё раз."));
    } else if (tried.opened) {
      line += QString::fromUtf8("открыт, охранная панель не ответила.");
      remedy(
          QString::fromUtf8("Охранная панель не ответила: проверьте кабель и питание охранной "
                            "панели; если она на другом порту, выберите его в списке портов."));
    } else {
      line += CauseText(tried.failure);
      remedy(NextStep(tried.failure));
    }
    lines << line;
  }
  return lines.join(QChar('\n')) + QString::fromUtf8("\n\nЧто делать:\n") +
         remedies.join(QChar('\n'));
}

QString PortNotice(const std::vector<OpenFailure>& refusals) {
  QStringList lines;
  QStringList groups;
  bool busy = false;
  bool withoutGroup = false;
  for (const OpenFailure& refusal : refusals) {
    const QString device = QString::fromStdString(refusal.device);
    if (refusal.kind == OpenFailureKind::kPermission) {
      lines << QString::fromUtf8("%1: нет прав доступа.").arg(device);
      const QString group = QString::fromStdString(refusal.group);
      if (group.isEmpty())
        withoutGroup = true;
      else if (!groups.contains(group))
        groups << group;
    } else if (refusal.kind == OpenFailureKind::kBusy) {
      busy = true;
      lines << (refusal.holders.empty()
                    ? QString::fromUtf8("%1: занят другой программой.").arg(device)
                    : QString::fromUtf8("%1: занят программой %2.")
                          .arg(device, HolderList(refusal.holders)));
    }
  }
  if (lines.isEmpty()) return {};

  QString text = QString::fromUtf8("Не удалось открыть порт:\n") + lines.join(QChar('\n'));
  for (const QString& group : groups) {
    // A user added to the group has it only in sessions begun afterwards.
    if (UserGroupMembership(group.toStdString()) == GroupMembership::kNotInSession)
      text += QString::fromUtf8(
                  "\n\nВы уже в группе %1, но этот сеанс начат раньше: войдите в систему "
                  "заново или выполните\nnewgrp %1")
                  .arg(group);
    else
      text += QString::fromUtf8(
                  "\n\nЧтобы работать с портом, добавьте пользователя в группу %1 командой\n"
                  "sudo usermod -aG %1 $USER\n"
                  "и войдите в систему заново.")
                  .arg(group);
  }
  if (withoutGroup)
    text +=
        QString::fromUtf8("\n\nПопросите администратора дать вам права на чтение и запись порта.");
  if (busy)
    text += QString::fromUtf8(
        "\n\nЗакройте программу, которая заняла порт, и щёлкните «Связь с охранной панелью».");
  return text;
}
