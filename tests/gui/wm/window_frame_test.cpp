// What only a real window manager shows: the window framed by openbox on a
// virtual display (run_under_wm.sh). The saved size across restarts, the
// centring with the real frame, the maximized state, and the captions as the
// title bars read them, of the program itself; a backup through the real
// file dialog.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "app/form_state_adapter.h"
#include "fakes/sim_process.h"
#include "gui_test_support.h"

using namespace orvex_test;

namespace {

// The output of a tool the test drives the desktop with.
QString Tool(const QString& program, const QStringList& args) {
  QProcess process;
  process.start(program, args);
  if (!process.waitForFinished(10000)) return {};
  return QString::fromUtf8(process.readAllStandardOutput());
}

// The titles of the managed windows, as the window manager has them.
QStringList Titles() {
  QStringList titles;
  for (const QString& line : Tool("wmctrl", {"-l"}).split('\n', Qt::SkipEmptyParts)) {
    // id, desktop, host, then the title with its blanks.
    titles << line.section(QRegularExpression("\\s+"), 3);
  }
  return titles;
}

bool WaitForTitle(const QString& title, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) {
    if (Titles().contains(title)) return true;
    QThread::msleep(20);
  }
  return false;
}

// A real key press in the window of that title, made the active one first:
// synthetic events sent to a window are unreliable.
void PressIn(const QString& title, const QString& key) {
  const QString id = Tool("xdotool", {"search", "--name", "^" + title + "$"}).section('\n', 0, 0);
  Tool("xdotool", {"windowactivate", "--sync", id});
  Tool("xdotool", {"key", key});
}

// The X window of that title, as a number.
qulonglong WindowId(const QString& title) {
  return Tool("xdotool", {"search", "--name", "^" + title + "$"}).section('\n', 0, 0).toULongLong();
}

// The window that the window of that title is transient for (its owner), or
// 0: what keeps the window manager from stacking the owner over it.
qulonglong TransientFor(const QString& title) {
  const QString prop = Tool("xprop", {"-id", QString::number(WindowId(title)), "WM_TRANSIENT_FOR"});
  const auto match = QRegularExpression("# (0x[0-9a-fA-F]+)").match(prop);
  return match.hasMatch() ? match.captured(1).toULongLong(nullptr, 16) : 0;
}

// The managed windows from bottom to top, as decimal ids.
QStringList Stacking() {
  QStringList ids;
  const QString prop = Tool("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"});
  for (const auto& match : QRegularExpression("0x[0-9a-fA-F]+").globalMatch(prop))
    ids << QString::number(match.captured(0).toULongLong(nullptr, 16));
  return ids;
}

// The value of a number the window state holds in the settings file.
long SavedNumber(const TempDir& home, const char* name) {
  QFile file(QString::fromStdString(home.File("NolvarGSM/user.reg")));
  if (!file.open(QIODevice::ReadOnly)) return -1;
  const QRegularExpression value(QString("\"%1\"=dword:([0-9a-f]{8})").arg(name));
  const auto match = value.match(QString::fromUtf8(file.readAll()));
  return match.hasMatch() ? match.captured(1).toLong(nullptr, 16) : -1;
}

// The settings of a user whose COM2 is the simulator's terminal.
void MapCom2(const TempDir& home, const std::string& path) {
  QDir().mkpath(QString::fromStdString(home.File("NolvarGSM")));
  QFile reg(QString::fromStdString(home.File("NolvarGSM/user.reg")));
  QVERIFY(reg.open(QIODevice::WriteOnly));
  reg.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Ports]\n\"COM2\"=\"");
  reg.write(path.c_str());
  reg.write("\"\n");
}

// The program as a user starts it, with its settings in home.
void Start(QProcess& program, const TempDir& home, const QStringList& args = {}) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("XDG_CONFIG_HOME", QString::fromStdString(home.path()));
  program.setProcessEnvironment(environment);
  program.start(ORVEX_GSM_PATH, args);
}

// Where a window of that title is on the screen.
QRect ScreenRect(const QString& title) {
  const QString info = Tool("xwininfo", {"-name", title});
  auto number = [&info](const char* label) {
    const auto match = QRegularExpression(QString("%1:\\s+(-?\\d+)").arg(label)).match(info);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
  };
  return QRect(number("Absolute upper-left X"), number("Absolute upper-left Y"), number("Width"),
               number("Height"));
}

// The part of the whole screen that rect covers, as the X server holds it:
// what a user without a compositing window manager sees.
QImage ScreenPart(const QRect& rect) {
  QTemporaryDir dir;
  const QString file = dir.filePath("screen.png");
  Tool("import", {"-silent", "-window", "root", file});
  return QImage(file).copy(rect);
}

// The shares of light (background) and dark (text) pixels of an image.
std::pair<double, double> LightAndDark(const QImage& image) {
  qint64 light = 0, dark = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const int grey = qGray(image.pixel(x, y));
      light += grey > 180;
      dark += grey < 80;
    }
  }
  const double all = qMax<qint64>(1, qint64(image.width()) * image.height());
  return {light / all, dark / all};
}

struct Run {
  QSize outer;
  QSize client;
  QPoint offCentre;
};

// One run of the window on the settings in home: shown, framed, then closed
// (which saves). resizeTo: a client size the user gives it, if any.
Run RunWindow(const TempDir& home, QSize resizeTo = {}, bool maximize = false,
              bool* cameBackMaximized = nullptr) {
  ScriptedPrompter prompter;
  PortMapScript ports;
  WindowUnderTest window({}, home.path());
  window->FormCreate();
  window->show();
  if (!QTest::qWaitForWindowExposed(&*window)) qWarning("window not exposed");
  QElapsedTimer framed;
  framed.start();
  while (!FrameKnown(*window) && framed.elapsed() < 5000) QTest::qWait(10);
  QTest::qWait(200);  // whatever the frame still changes
  if (cameBackMaximized) *cameBackMaximized = window->isMaximized();
  if (resizeTo.isValid()) window->resize(resizeTo);
  if (maximize) window->showMaximized();
  QTest::qWait(200);
  const QMargins margins = FrameMargins(*window);
  const QRect frame = window->geometry().marginsAdded(margins);
  const Run run{frame.size(), window->size(),
                frame.center() - window->screen()->availableGeometry().center()};
  // Closed as the user closes it: the window manager unframes it before the
  // save at the window's end.
  window->close();
  QTest::qWait(200);
  return run;
}

}  // namespace

class WindowFrameTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY2(QGuiApplication::platformName() == "xcb", "runs under run_under_wm.sh only");
  }

  void aSavedSizeComesBackExactlyRestartAfterRestart() {
    TempDir home;
    const Run first = RunWindow(home, QSize(700, 600));
    QVERIFY2(first.outer != first.client, "the window manager framed the window");
    const long width = SavedNumber(home, "fOrvex.Width");
    const long height = SavedNumber(home, "fOrvex.Height");
    // The stored bounds are the window's real outer size.
    QCOMPARE(QSize(width, height), first.outer);
    for (int restart = 1; restart <= 3; ++restart) {
      const Run again = RunWindow(home);
      QCOMPARE(again.client, QSize(700, 600));
      QCOMPARE(again.outer, first.outer);
      QCOMPARE(SavedNumber(home, "fOrvex.Width"), width);
      QCOMPARE(SavedNumber(home, "fOrvex.Height"), height);
      // Centred with the real frame, to the pixel that halving rounds away.
      QVERIFY2(
          qAbs(again.offCentre.x()) <= 1 && qAbs(again.offCentre.y()) <= 1,
          qPrintable(
              QString("off centre by %1, %2").arg(again.offCentre.x()).arg(again.offCentre.y())));
    }
  }

  void aMaximizedWindowComesBackMaximized() {
    TempDir home;
    RunWindow(home, {}, true);
    QCOMPARE(SavedNumber(home, "fOrvex.WindowState"), 1L);
    bool maximized = false;
    RunWindow(home, {}, false, &maximized);
    QVERIFY(maximized);
  }

  // The program as a user starts it, with options of Qt's own before the
  // word "debug": every title bar reads exactly the window's caption, and the
  // debug switch sees the program's first argument, which is not "debug".
  void theProgramsTitleBarsReadExactlyTheirCaptions() {
    TempDir state;
    WriteSimState(state.File("state"), {{"dial", "03"}});
    SimProcess sim({"--state", state.File("state")});
    TempDir home;
    TempDir cwd;
    MapCom2(home, sim.SlavePath());

    QProcess program;
    program.setWorkingDirectory(QString::fromStdString(cwd.path()));
    Start(program, home, {"-style", "fusion", "debug"});
    QVERIFY(program.waitForStarted());

    const QString mainCaption = QString::fromUtf8("Настройка Охранной Панели \"Orvex GSM\"");
    QVERIFY2(WaitForTitle("Confirm", 15000), qPrintable(Titles().join(" | ")));
    PressIn("Confirm", "Return");  // Yes: the whole panel is read
    QVERIFY2(WaitForTitle(QString::fromUtf8("Обмен данными"), 5000),
             qPrintable(Titles().join(" | ")));
    QVERIFY2(WaitForTitle(mainCaption, 15000), qPrintable(Titles().join(" | ")));
    QVERIFY(!QFile::exists(QString::fromStdString(cwd.File("log.txt"))));

    Tool("wmctrl", {"-c", mainCaption});
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 0);
  }

  // A box opened over the main window right before and after blocking
  // exchanges is on the screen with its text, not as a black or empty
  // rectangle: here the error box of a write the panel refuses.
  void anErrorBoxOverTheMainWindowShowsItsTextOnTheScreen() {
    SimProcess sim({"--error-on", "+s"});
    TempDir home;
    MapCom2(home, sim.SlavePath());
    QProcess program;
    Start(program, home);
    QVERIFY(program.waitForStarted());
    const QString mainCaption = QString::fromUtf8("Настройка Охранной Панели \"Orvex GSM\"");
    QVERIFY2(WaitForTitle("Confirm", 15000), qPrintable(Titles().join(" | ")));
    PressIn("Confirm", "Escape");  // No: nothing is read at start
    QVERIFY2(WaitForTitle(mainCaption, 15000), qPrintable(Titles().join(" | ")));
    QTest::qWait(300);

    // "Записать настройки в "Orvex GSM"", clicked where it lies.
    const QRect main = ScreenRect(mainCaption);
    PressIn(mainCaption, "shift");  // makes it the active window
    Tool("xdotool", {"mousemove", "--sync", QString::number(main.x() + 120),
                     QString::number(main.y() + 92), "click", "1"});
    // Nothing was read from this panel: the write asks first; Yes.
    QVERIFY2(WaitForTitle("Confirm", 15000), qPrintable(Titles().join(" | ")));
    QTest::qWait(300);
    QCOMPARE(TransientFor("Confirm"), WindowId(mainCaption));
    PressIn("Confirm", "Return");
    QVERIFY2(WaitForTitle("Error", 15000), qPrintable(Titles().join(" | ")));
    QTest::qWait(300);

    const QRect box = ScreenRect("Error");
    QVERIFY2(box.intersects(main), "the box is over the main window");
    const auto [light, dark] = LightAndDark(ScreenPart(box));
    QVERIFY2(light > 0.5 && dark > 0.002,
             qPrintable(QString("light %1, dark %2 of the box").arg(light).arg(dark)));
    // The box belongs to the main window: a click on the main window leaves
    // it on top.
    QCOMPARE(TransientFor("Error"), WindowId(mainCaption));
    Tool("xdotool", {"mousemove", "--sync", QString::number(main.x() + 20),
                     QString::number(main.y() + main.height() - 20), "click", "1"});
    QTest::qWait(300);
    const QStringList stacking = Stacking();
    QVERIFY2(stacking.indexOf(QString::number(WindowId("Error"))) >
                 stacking.indexOf(QString::number(WindowId(mainCaption))),
             qPrintable(stacking.join(" ")));

    PressIn("Error", "Return");
    Tool("wmctrl", {"-c", mainCaption});
    QVERIFY(program.waitForFinished(10000));
  }

  // Ctrl+S in the program itself: the wait window, the file dialog under its
  // title, the file saved whole, the box that says where.
  void ctrlSSavesTheWholePanelThroughTheFileDialog() {
    TempDir state;
    WriteSimState(state.File("state"), {{"key2", "1111111111111111"}, {"dial", "01"}});
    SimProcess sim({"--state", state.File("state")});
    TempDir home;
    MapCom2(home, sim.SlavePath());
    QProcess program;
    Start(program, home);
    QVERIFY(program.waitForStarted());
    const QString mainCaption = QString::fromUtf8("Настройка Охранной Панели \"Orvex GSM\"");
    QVERIFY2(WaitForTitle("Confirm", 15000), qPrintable(Titles().join(" | ")));
    PressIn("Confirm", "Escape");
    QVERIFY2(WaitForTitle(mainCaption, 15000), qPrintable(Titles().join(" | ")));
    QTest::qWait(300);

    PressIn(mainCaption, "ctrl+s");
    const QString dialog = QString::fromUtf8("Сохранить копию панели в файл");
    QVERIFY2(WaitForTitle(dialog, 15000), qPrintable(Titles().join(" | ")));
    QTest::qWait(300);
    const std::string saved = home.File("site-12.txt");
    PressIn(dialog, "ctrl+a");
    Tool("xdotool", {"type", "--delay", "20", QString::fromStdString(saved)});
    Tool("xdotool", {"key", "Return"});
    QVERIFY2(WaitForTitle("Information", 15000), qPrintable(Titles().join(" | ")));
    QFile file(QString::fromStdString(saved));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY2(text.contains("\nkey2=1111111111111111\n") && text.contains("\nday6=0\n"),
             text.constData());

    PressIn("Information", "Return");
    Tool("wmctrl", {"-c", mainCaption});
    QVERIFY(program.waitForFinished(10000));
  }
};

QTEST_MAIN(WindowFrameTest)
#include "window_frame_test.moc"
