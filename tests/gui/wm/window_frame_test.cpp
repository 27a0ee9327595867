// What only a real window manager shows: the window framed by openbox on a
// virtual display (run_under_wm.sh). The saved size across restarts, on a
// desktop that frames the window at once and on one that frames it late, the
// centring with the real frame, the maximized state, and the captions as the
// title bars read them, of the program itself; a backup through the real
// file dialog.
//
// The program's boxes are told apart by what they say, not by their titles
// (the question at start and the no-connection box are both "Confirm"): the
// program runs with a D-Bus daemon of the test's own as its session bus,
// where the test tells it the accessibility bus (the same daemon) as a
// desktop's accessibility service does, and Qt publishes every window's
// controls and texts there (AT-SPI).

#include <signal.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <utility>

#include "app/form_state_adapter.h"
#include "fakes/sim_process.h"
#include "gui_test_support.h"

using namespace orvex_test;

namespace {

// The question at start, once the panel has answered on the port.
const QString kPanelFound =
    QString::fromUtf8("Обнаружена охранная панель \"Orvex GSM\", прочитать настройки?");

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
    QTest::qWait(20);
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

// What a desktop's accessibility service tells a program on the session
// bus: the address of the accessibility bus.
class AccessibilityService : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.a11y.Bus")

 public:
  explicit AccessibilityService(QString address) : address_(std::move(address)) {}

 public slots:
  QString GetAddress() const { return address_; }

 private:
  QString address_;
};

// A D-Bus daemon of the test's own, the program's session and accessibility
// bus: the texts of the program's windows, read as a screen reader reads
// them. The test answers the program's questions on it while it waits
// (QTest::qWait).
class AccessibilityBus {
 public:
  AccessibilityBus() {
    daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1",
                                  "--address=unix:path=" + folder_.filePath("bus")});
    if (!daemon_.waitForStarted(10000)) {
      error_ = "dbus-daemon did not start (scripts/install-deps.sh --test installs it)";
      return;
    }
    QElapsedTimer clock;
    clock.start();
    while (!daemon_.canReadLine() && clock.elapsed() < 10000) daemon_.waitForReadyRead(100);
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    if (address_.isEmpty()) {
      error_ = "dbus-daemon gave no address: " + QString::fromUtf8(daemon_.readAllStandardError());
      return;
    }
    bus_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address_, kName));
    service_ = std::make_unique<AccessibilityService>(address_);
    if (!bus_->isConnected() ||
        !bus_->registerObject("/org/a11y/bus", service_.get(), QDBusConnection::ExportAllSlots) ||
        !bus_->registerService("org.a11y.Bus")) {
      error_ = "cannot offer the accessibility bus on " + address_;
    }
  }
  ~AccessibilityBus() {
    bus_.reset();
    QDBusConnection::disconnectFromBus(kName);
    daemon_.terminate();
    if (!daemon_.waitForFinished(5000)) daemon_.kill();
    daemon_.waitForFinished(5000);
  }

  // Empty when the bus is up.
  const QString& Error() const { return error_; }
  // For the program's environment: with a screen reader's switch on.
  void AddTo(QProcessEnvironment& environment) const {
    environment.insert("DBUS_SESSION_BUS_ADDRESS", address_);
    environment.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    environment.remove("AT_SPI_BUS_ADDRESS");
  }

  // Every text in the program's top-level window of that title, its own
  // name first; empty when the program shows no such window.
  QStringList WindowTexts(const QString& title) {
    if (!bus_ || !bus_->isConnected()) return {};
    const QStringList services = bus_->interface()->registeredServiceNames().value();
    for (const QString& service : services) {
      if (!service.startsWith(':') || service == bus_->baseService()) continue;
      for (const QString& window : Children(service, "/org/a11y/atspi/accessible/root")) {
        if (Name(service, window) != title) continue;
        QStringList texts;
        Collect(service, window, texts, 0);
        return texts;
      }
    }
    return {};
  }

 private:
  static constexpr const char* kName = "orvex-test-bus";

  QDBusMessage Call(const QString& service, const QString& path, const QString& interface,
                    const QString& method, const QVariantList& args = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(args);
    return bus_->call(call, QDBus::Block, 5000);
  }

  QStringList Children(const QString& service, const QString& path) {
    const QDBusMessage reply = Call(service, path, "org.a11y.atspi.Accessible", "GetChildren");
    QStringList paths;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return paths;
    const QDBusArgument children = reply.arguments().first().value<QDBusArgument>();
    children.beginArray();
    while (!children.atEnd()) {
      QString owner;
      QDBusObjectPath child;
      children.beginStructure();
      children >> owner >> child;
      children.endStructure();
      paths << child.path();
    }
    children.endArray();
    return paths;
  }

  QString Property(const QString& service, const QString& path, const QString& name) {
    const QDBusMessage reply = Call(service, path, "org.freedesktop.DBus.Properties", "Get",
                                    {QString("org.a11y.atspi.Accessible"), name});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return reply.arguments().first().value<QDBusVariant>().variant().toString();
  }
  QString Name(const QString& service, const QString& path) {
    return Property(service, path, "Name");
  }

  void Collect(const QString& service, const QString& path, QStringList& texts, int depth) {
    for (const QString& text : {Name(service, path), Property(service, path, "Description")}) {
      if (!text.isEmpty() && !texts.contains(text)) texts << text;
    }
    if (depth > 8) return;
    for (const QString& child : Children(service, path)) Collect(service, child, texts, depth + 1);
  }

  QTemporaryDir folder_;
  QProcess daemon_;
  QString address_;
  QString error_;
  std::unique_ptr<QDBusConnection> bus_;
  std::unique_ptr<AccessibilityService> service_;
};

// The program as a user starts it, with its settings in home; its windows'
// texts go to the accessibility bus.
void Start(QProcess& program, const TempDir& home, const AccessibilityBus& bus,
           const QStringList& args = {}) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("XDG_CONFIG_HOME", QString::fromStdString(home.path()));
  bus.AddTo(environment);
  program.setProcessEnvironment(environment);
  program.start(ORVEX_GSM_PATH, args);
}

// What a failure says of the panel: the commands the simulator received, as
// its command log holds them.
QString PanelLog(const SimProcess& sim) {
  QFile log(QString::fromStdString(sim.LogPath()));
  if (!log.open(QIODevice::ReadOnly)) return "the panel's log cannot be read";
  const QByteArray text = log.readAll();
  return text.isEmpty() ? "the panel's log is empty" : "the panel's log:\n" + text;
}

// Waits for the box of that title that says `says`. Empty when it came; else
// what came instead: the box of that title with what it says, or the windows
// there are, and the panel's log.
QString AwaitBox(AccessibilityBus& bus, const SimProcess& sim, const QString& title,
                 const QString& says, int ms = 15000) {
  QElapsedTimer clock;
  clock.start();
  QStringList texts;
  while (clock.elapsed() < ms) {
    if (Titles().contains(title)) {
      texts = bus.WindowTexts(title);
      if (texts.join('\n').contains(says)) return {};
      // A box of that title that has a text of its own is not the one.
      if (texts.size() > 1) break;
    }
    QTest::qWait(50);
  }
  const QString met = texts.isEmpty()
                          ? "no box \"" + title + "\" (windows: " + Titles().join(" | ") + ")"
                          : "the box \"" + title + "\" saying: " + texts.join(" / ");
  return "waited for the box \"" + title + "\" that says \"" + says + "\", met " + met + "\n" +
         PanelLog(sim);
}

// Presses the key in the box of that title, and waits for the box to close.
// Empty when it closed; else what the box still says, and the panel's log.
QString CloseBox(AccessibilityBus& bus, const SimProcess& sim, const QString& title,
                 const QString& key, int ms = 15000) {
  PressIn(title, key);
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) {
    if (!Titles().contains(title)) return {};
    QTest::qWait(50);
  }
  return "the box \"" + title + "\" did not close on " + key +
         "; it says: " + bus.WindowTexts(title).join(" / ") + "\n" + PanelLog(sim);
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

// The window manager held still (SIGSTOP) while it lives, as a slow desktop
// that frames a window late.
class PausedWindowManager {
 public:
  PausedWindowManager() : pid_(qEnvironmentVariableIntValue("ORVEX_TEST_WM_PID")) {
    if (pid_ > 0) kill(pid_, SIGSTOP);
  }
  ~PausedWindowManager() {
    if (pid_ > 0) kill(pid_, SIGCONT);
  }
  bool Paused() const { return pid_ > 0; }

 private:
  qint64 pid_;
};

// One run of the window on the settings in home: shown, framed, then closed
// (which saves). resizeTo: a client size the user gives it, if any.
// framedLateMs: the window manager frames the shown window only this late;
// the run then waits until the window has the client size lateClient.
Run RunWindow(const TempDir& home, QSize resizeTo = {}, bool maximize = false,
              bool* cameBackMaximized = nullptr, int framedLateMs = 0, QSize lateClient = {}) {
  ScriptedPrompter prompter;
  PortMapScript ports;
  WindowUnderTest window({}, home.path());
  window->FormCreate();
  if (framedLateMs > 0) {
    PausedWindowManager paused;
    if (!paused.Paused()) qWarning("no window manager to pause (ORVEX_TEST_WM_PID)");
    window->show();
    QTest::qWait(framedLateMs);
  } else {
    window->show();
  }
  if (!QTest::qWaitForWindowExposed(&*window)) qWarning("window not exposed");
  QElapsedTimer framed;
  framed.start();
  while (!FrameKnown(*window) && framed.elapsed() < 5000) QTest::qWait(10);
  while (lateClient.isValid() && window->size() != lateClient && framed.elapsed() < 10000) {
    QTest::qWait(10);
  }
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

  // A desktop that frames the shown window only after the window's first
  // looks for its frame (about 2 s): the size still comes back exactly.
  void aSavedSizeComesBackExactlyOnADesktopThatFramesLate() {
    QVERIFY2(qEnvironmentVariableIntValue("ORVEX_TEST_WM_PID") > 0, "runs under run_under_wm.sh");
    TempDir home;
    const Run first = RunWindow(home, QSize(700, 600));
    const long width = SavedNumber(home, "fOrvex.Width");
    const long height = SavedNumber(home, "fOrvex.Height");
    QCOMPARE(QSize(width, height), first.outer);
    const Run late = RunWindow(home, {}, false, nullptr, 3000, QSize(700, 600));
    QCOMPARE(late.client, QSize(700, 600));
    QCOMPARE(late.outer, first.outer);
    QCOMPARE(SavedNumber(home, "fOrvex.Width"), width);
    QCOMPARE(SavedNumber(home, "fOrvex.Height"), height);
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
    AccessibilityBus bus;
    QVERIFY2(bus.Error().isEmpty(), qPrintable(bus.Error()));

    QProcess program;
    program.setWorkingDirectory(QString::fromStdString(cwd.path()));
    Start(program, home, bus, {"-style", "fusion", "debug"});
    QVERIFY(program.waitForStarted());

    const QString mainCaption = QString::fromUtf8("Настройка Охранной Панели \"Orvex GSM\"");
    QString met = AwaitBox(bus, sim, "Confirm", kPanelFound);
    QVERIFY2(met.isEmpty(), qPrintable(met));
    met = CloseBox(bus, sim, "Confirm", "Return");  // Yes: the whole panel is read
    QVERIFY2(met.isEmpty(), qPrintable(met));
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
    AccessibilityBus bus;
    QVERIFY2(bus.Error().isEmpty(), qPrintable(bus.Error()));
    QProcess program;
    Start(program, home, bus);
    QVERIFY(program.waitForStarted());
    const QString mainCaption = QString::fromUtf8("Настройка Охранной Панели \"Orvex GSM\"");
    QString met = AwaitBox(bus, sim, "Confirm", kPanelFound);
    QVERIFY2(met.isEmpty(), qPrintable(met));
    met = CloseBox(bus, sim, "Confirm", "Escape");  // No: nothing is read at start
    QVERIFY2(met.isEmpty(), qPrintable(met));
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
    AccessibilityBus bus;
    QVERIFY2(bus.Error().isEmpty(), qPrintable(bus.Error()));
    QProcess program;
    Start(program, home, bus);
    QVERIFY(program.waitForStarted());
    const QString mainCaption = QString::fromUtf8("Настройка Охранной Панели \"Orvex GSM\"");
    QString met = AwaitBox(bus, sim, "Confirm", kPanelFound);
    QVERIFY2(met.isEmpty(), qPrintable(met));
    met = CloseBox(bus, sim, "Confirm", "Escape");
    QVERIFY2(met.isEmpty(), qPrintable(met));
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
