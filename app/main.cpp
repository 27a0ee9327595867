// The program entry of the "Orvex GSM" configurator: the application, its one
// main window, and the message loop.

#include <QDir>
#include <QIcon>
#include <iostream>
#include <string>

#include "app/command_line.h"
#include "app/error_display.h"
#include "app/main_window.h"
#include "app/message_boxes.h"
#include "panel/stored_port_map.h"
#include "support/standard_streams.h"

int main(int argc, char** argv) {
  // A closed standard descriptor would otherwise be handed to the serial
  // port, and what is meant for a terminal would reach the panel.
  OpenClosedStandardDescriptors();
  // --help and --version answer before anything could open a port.
  if (const auto status = AnswerInformationalOptions(argc, argv, std::cout, std::cerr)) {
    return *status;
  }
  // The debug switch reads the program's own first argument: QApplication
  // takes its options (-style fusion, ...) out of argv, after which a later
  // argument would move into first place.
  const std::string firstArgument = argc > 1 && argv[1] != nullptr ? argv[1] : "";

  // Qt's own translations are not loaded: the boxes' buttons read "&Yes",
  // "&No" and "OK". No application display name is set either: Qt would
  // append it to every caption. The default error display carries the
  // application title "Orvex-GSM" itself.
  WatchForMissingDisplay();
  TOrvexApplication application(argc, argv);
  EndDisplayWatch();
  // The desktop entry (Wayland matches the window to it) and the icon in
  // every size built in, for title bars and task bars without the theme.
  QGuiApplication::setDesktopFileName(QStringLiteral(ORVEX_APP_ID));
  QIcon icon;
  for (const QString& file : QDir(QStringLiteral(":/icons")).entryList()) {
    icon.addFile(QStringLiteral(":/icons/") + file);
  }
  QApplication::setWindowIcon(icon);
  TMessageBoxes boxes;
  SetPrompter(&boxes);
  InstallStoredPortMap();

  TfOrvex window(firstArgument);
  window.FormCreate();
  window.show();
  // The window is destroyed before the boxes: its save at the end may still
  // have an error to show.
  return QApplication::exec();
}
