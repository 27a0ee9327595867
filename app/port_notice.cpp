#include "app/port_notice.h"

#include <QStringList>

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

}  // namespace

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
