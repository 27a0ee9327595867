#include "app/command_line.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "serial/com_name.h"
#include "serial/port_choice.h"

namespace {

constexpr const char* kHelp =
    "Usage: orvex-gsm [DEBUG]\n"
    "The configuration window of the Orvex GSM security panel (Russian user interface).\n"
    "At start it looks for the panel on the port in its port box, then on %1\n"
    "and the USB serial adapters present, and asks whether to read its settings.\n"
    "\n"
    "  DEBUG          trace every exchange with the panel to log.txt in the current\n"
    "                 directory (any letter case; also Debug=TRUE in section [Main]\n"
    "                 of a Config.ini beside the program)\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "\n"
    "Without a window: orvex-gsm-cli(1), for backups, restores and scripts.\n";

bool IsOption(const char* argument, const char* shortName, const char* longName) {
  const std::string text = argument != nullptr ? argument : "";
  return text == shortName || text == longName;
}

// Qt's messages while it looks for a display: shown only if it finds one.
std::vector<std::pair<QtMsgType, QString>>& HeldBack() {
  static std::vector<std::pair<QtMsgType, QString>> messages;
  return messages;
}

void HoldBackOrRefuse(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type != QtFatalMsg) {
    HeldBack().emplace_back(type, text);
    return;
  }
  // The only fatal message before the application exists is the platform
  // plugin's: no display to connect to, or no plugin that can use it.
  const QByteArray display = qgetenv("DISPLAY");
  const std::string why = !display.isEmpty()
                              ? "the display " + display.toStdString() + " cannot be reached"
                              : "there is no display to show it on";
  std::fprintf(stderr,
               "orvex-gsm: cannot open a window: %s. Start it in a desktop session, or on a "
               "virtual display: xvfb-run orvex-gsm\n",
               why.c_str());
  std::fflush(stderr);
  std::_Exit(1);
}

}  // namespace

std::optional<int> AnswerInformationalOptions(int argc, char** argv, std::ostream& out,
                                              std::ostream& err) {
  for (int i = 1; i < argc; ++i) {
    std::string text;
    if (IsOption(argv[i], "-h", "--help")) {
      text = kHelp;
      const std::string range = ComName(1) + ".." + ComName(kStandardPortCount);
      text.replace(text.find("%1"), 2, range);
    } else if (IsOption(argv[i], "-V", "--version")) {
      text = "orvex-gsm " ORVEX_VERSION "\n";
    } else {
      continue;
    }
    out << text << std::flush;
    if (!out) {
      err << "orvex-gsm: cannot write to standard output\n";
      return 1;
    }
    return 0;
  }
  return std::nullopt;
}

void WatchForMissingDisplay() {
  qInstallMessageHandler(HoldBackOrRefuse);
}

void EndDisplayWatch() {
  qInstallMessageHandler(nullptr);
  for (const auto& [type, text] : HeldBack()) {
    const QByteArray bytes = text.toLocal8Bit();
    switch (type) {
      case QtDebugMsg:
        qDebug("%s", bytes.constData());
        break;
      case QtInfoMsg:
        qInfo("%s", bytes.constData());
        break;
      default:
        qWarning("%s", bytes.constData());
        break;
    }
  }
  HeldBack().clear();
}
