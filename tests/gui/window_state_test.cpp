// The window's state across a restart: size, maximized state, port box,
// connection box, key field, numbers and flags, through a real settings file.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>

#include "app/connection_box.h"
#include "app/keys_page.h"
#include "app/numbers_page.h"
#include "fakes/sim_process.h"
#include "gui_test_support.h"
#include "support/form_state.h"
#include "support/log.h"
#include "support/registry_file.h"

using namespace orvex_test;

namespace {

QString UserReg(const TempDir& home) {
  return QString::fromStdString(home.File("NolvarGSM/user.reg"));
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& text) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(text);
}

const char* const kValueNames[] = {
    "fOrvex.Left",   "fOrvex.Top",    "fOrvex.Height", "fOrvex.Width",  "fOrvex.WindowState",
    "cb1.Text",      "xCon.Checked",  "e1.Text",       "NumE1.Text",    "NumE2.Text",
    "NumE3.Text",    "NumE4.Text",    "NumE5.Text",    "NumE6.Text",    "Call1.Checked",
    "Call2.Checked", "Call3.Checked", "Call4.Checked", "Call5.Checked", "Call6.Checked",
    "H241.Checked",  "H242.Checked",  "H243.Checked",  "H244.Checked",  "H245.Checked",
    "H246.Checked"};

}  // namespace

class WindowStateTest : public QObject {
  Q_OBJECT

 private slots:
  void everyFieldComesBackAfterARestart() {
    TempDir home;
    {
      ScriptedPrompter prompter;
      PortMapScript ports;
      WindowUnderTest window({}, home.path());
      window->FormCreate();
      window->show();
      QVERIFY(QTest::qWaitForWindowExposed(&*window));
      window->resize(700, 600);
      window.Control<QComboBox>("cb1")->setEditText("COM7");
      window.Control<QCheckBox>("xCon")->setChecked(true);
      window.Control<QLineEdit>("e1")->setText("0102030405060708");
      for (int event = 1; event <= 6; ++event) {
        NumE(*window, event)->setText(QString("+7916%1").arg(event));
        Call(*window, event)->setChecked(event % 2 == 1);
        H24(*window, event)->setChecked(event >= 4);
      }
    }  // closing saves

    const QByteArray saved = ReadFile(UserReg(home));
    int at = 0;
    for (const char* name : kValueNames) {
      const int found = saved.indexOf(QByteArray("\"") + name + "\"=");
      QVERIFY2(found > at, name);  // every value, in the window's order
      at = found;
    }
    QVERIFY(saved.contains("\"cb1.Text\"=\"COM7\""));
    QVERIFY(saved.contains("\"Call2.Checked\"=dword:00000000"));

    ScriptedPrompter prompter;
    PortMapScript ports;
    WindowUnderTest window({}, home.path());
    window->FormCreate();
    QCOMPARE(window.Control<QComboBox>("cb1")->currentText(), QString("COM7"));
    // The restored port is probed first.

    QCOMPARE(Names(ports.LookedUp()).first(), QString("COM7"));
    // The probe, not the saved mark, decides.

    QVERIFY(!window.Control<QCheckBox>("xCon")->isChecked());
    QCOMPARE(window.Control<QLineEdit>("e1")->text(), QString("0102030405060708"));
    for (int event = 1; event <= 6; ++event) {
      QCOMPARE(NumE(*window, event)->text(), QString("+7916%1").arg(event));
      QCOMPARE(Call(*window, event)->isChecked(), event % 2 == 1);
      // A dial box restored unticked disables its field.

      QCOMPARE(NumE(*window, event)->isEnabled(), event % 2 == 1);
      QCOMPARE(H24(*window, event)->isChecked(), event >= 4);
    }
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(&*window));
    QCOMPARE(window->size(), QSize(700, 600));
  }

  void firstRunRestoresNothingAndSavesEverything() {
    TempDir home;
    {
      ScriptedPrompter prompter;
      PortMapScript ports;
      WindowUnderTest window({}, home.path());
      window->FormCreate();
      QCOMPARE(window.Control<QComboBox>("cb1")->currentText(), QString("COM2"));
      for (int event = 1; event <= 6; ++event) QVERIFY(Call(*window, event)->isChecked());
    }
    const QByteArray saved = ReadFile(UserReg(home));
    QVERIFY(saved.startsWith("REGEDIT4"));
    QVERIFY(saved.contains("[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Forms\\fOrvex]"));
    for (const char* name : kValueNames) QVERIFY2(saved.contains(name), name);
  }

  void valueOfTheWrongTypeStopsTheStartAfterShowingTheError() {
    TempDir home;
    WriteFile(UserReg(home),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Forms\\fOrvex]\n"
              "\"cb1.Text\"=\"COM3\"\n\"e1.Text\"=dword:00000001\n\"NumE1.Text\"=\"112\"\n");
    ScriptedPrompter prompter;
    PortMapScript ports;
    WindowUnderTest window({"DEBUG"}, home.path());
    DebugMode = false;
    window->FormCreate();
    QCOMPARE(prompter.Texts(Prompt::kDefaultError), QStringList{"Invalid data type for 'e1.Text'"});
    // Values before it are restored.

    QCOMPARE(window.Control<QComboBox>("cb1")->currentText(), QString("COM3"));
    // Values after it are not.

    QVERIFY(NumE(*window, 1)->text().isEmpty());
    // No connection attempt.

    QVERIFY(ports.LookedUp().empty());
    // Nor the debug switch.

    QVERIFY(!DebugMode);
  }

  void unreadableSettingsFileIsReportedAndLeftAlone() {
    TempDir home;
    const QByteArray broken =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Ports]\n"
        "\"COM5\"=\"/dev/ttyUSB0\"\nthis line is no value\n";
    WriteFile(UserReg(home), broken);
    TempDir logDir;  // debug mode writes log.txt here
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(logDir.path()));
    ScriptedPrompter prompter;
    {
      PortMapScript ports;
      WindowUnderTest window({"DEBUG"}, home.path());
      DebugMode = false;
      window->FormCreate();
      QDir::setCurrent(cwd);
      // Reported once, in Russian, with the file and the line, the port map
      // that is not used either, and what to do; start-up goes on with the
      // debug switch and the connection attempt.
      QCOMPARE(prompter.Texts(Prompt::kDefaultError),
               QStringList{QString::fromUtf8(
                               "Файл настроек \"%1\" не удалось прочитать (ошибка в строке 5). "
                               "Не загружены ни настройки окна, ни соответствие портов "
                               "устройствам: порты открываются по своим именам. Файл оставлен без "
                               "изменений и при закрытии окна не перезаписывается.\nИсправьте "
                               "строку 5 в этом файле или удалите файл (тогда соответствие портов "
                               "придётся задать заново) и запустите программу снова.")
                               .arg(UserReg(home))});
      QVERIFY(DebugMode);
      DebugMode = false;
      QCOMPARE(Names(ports.LookedUp()).size(), 9);
      QCOMPARE(prompter.Texts(Prompt::kConfirm).size(), 1);
      QCOMPARE(window.Control<QComboBox>("cb1")->currentText(), QString("COM2"));
      window.Control<QComboBox>("cb1")->setEditText("COM4");
    }
    // Closing the window neither overwrites the file nor reports it again.
    QCOMPARE(prompter.Texts(Prompt::kDefaultError).size(), 1);
    QCOMPARE(ReadFile(UserReg(home)), broken);
  }
};

QTEST_MAIN(WindowStateTest)
#include "window_state_test.moc"
