// The program entry of the "Orvex GSM" configurator: the application titled
// "Orvex-GSM", its one main window fOrvex, and the message loop.

#include "app/error_display.h"
#include "app/main_window.h"
#include "panel/exchange.h"
#include "support/port_map_store.h"

#include <QDir>
#include <QIcon>

int main(int argc, char** argv) {
  // Qt's own translations are not loaded: the boxes' buttons read "&Yes",
  // "&No" and "OK".
  TOrvexApplication application(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Orvex-GSM"));
  // The desktop entry (Wayland matches the window to it) and the icon in
  // every size built in, for title bars and task bars without the theme.
  QGuiApplication::setDesktopFileName(QStringLiteral(ORVEX_APP_ID));
  QIcon icon;
  for (const QString& file : QDir(QStringLiteral(":/icons")).entryList()) {
    icon.addFile(QStringLiteral(":/icons/") + file);
  }
  QApplication::setWindowIcon(icon);
  InstallStoredPortMap();

  // The application took its own options out of argc and argv; the debug
  // switch sees the program's first argument.
  TfOrvex window(argc, argv);
  fOrvex = &window;
  SetExchangeHost(&window);
  window.FormCreate();
  window.show();
  return QApplication::exec();
}
