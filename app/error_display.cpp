#include "app/error_display.h"

#include "app/image_report.h"
#include "app/prompter.h"
#include "support/log.h"
#include "support/text_codec.h"

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
    // The exact message, with the reply as it came, goes to the log; the box
    // says it in the window's words.
    try {
      WriteLog(Utf8ToCp1251(error.what()), true, EmptyData);
    } catch (...) {
      // A log that cannot be written is what the box tells then.
    }
    ShowDefaultError(ExchangeFailureText(error, {}));
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
