#pragma once
// The application's default error display, and the guard every handler that
// can fail runs in: an error ends the handler, is shown, and the program goes
// on. No exception unwinds through Qt's own code.

#include <QApplication>
#include <QString>
#include <exception>
#include <utility>

// The message as the display shows it: a full stop is appended when the last
// character's code is above that of "." (0x2E).
QString DefaultErrorText(const QString& message);

// The error's message (UTF-8 in every error the program raises).
QString ErrorMessage(const std::exception& error);

// Shows the message in the default error display (through the prompter).
void ShowDefaultError(const QString& message);

// Logs whatever the current exception is and shows it in the window's words
// (ExchangeFailureText); only inside a catch block.
void ShowCurrentError();

// Runs a handler; an error that escapes it goes to the default error display.
template <typename Handler>
void RunHandler(Handler&& handler) {
  try {
    std::forward<Handler>(handler)();
  } catch (...) {
    ShowCurrentError();
  }
}

// The last resort: an error that escapes an event handler anyway is shown
// instead of ending the program.
class TOrvexApplication : public QApplication {
 public:
  TOrvexApplication(int& argc, char** argv) : QApplication(argc, argv) {}
  bool notify(QObject* receiver, QEvent* event) override;
};
