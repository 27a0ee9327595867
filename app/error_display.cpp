#include "app/error_display.h"

#include "app/prompter.h"

QString DefaultErrorText(const QString& message) {
  if (!message.isEmpty() && message.back() > QChar('.')) return message + QChar('.');
  return message;
}

QString ErrorMessage(const std::exception& error) {
  return QString::fromUtf8(error.what());
}

void ShowDefaultError(const QString& message) {
  try {
    CurrentPrompter().ShowDefaultError(DefaultErrorText(message));
  } catch (...) {
    // A display that fails itself has nowhere left to report to.
  }
}

void ShowCurrentError() {
  try {
    throw;
  } catch (const std::exception& error) {
    ShowDefaultError(ErrorMessage(error));
  } catch (...) {
    ShowDefaultError(QStringLiteral("Неизвестная ошибка"));
  }
}

bool TOrvexApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ShowCurrentError();
    return false;
  }
}
