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
#include "gui_test_support.h"
#include "sim_process.h"
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
      window->cb1->setEditText("COM7");
      window->xCon->setChecked(true);
      window->TMGB->e1->setText("0102030405060708");
      for (int event = 1; event <= 6; ++event) {
        window->NumbersGB->NumE(event)->setText(QString("+7916%1").arg(event));
        window->NumbersGB->Call(event)->setChecked(event % 2 == 1);
        window->NumbersGB->H24(event)->setChecked(event >= 4);
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
    QCOMPARE(window->cb1->currentText(), QString("COM7"));
    // The restored port is probed first.

    QCOMPARE(Names(ports.LookedUp()).first(), QString("COM7"));
    // The probe, not the saved mark, decides.

    QVERIFY(!window->xCon->isChecked());
    QCOMPARE(window->TMGB->e1->text(), QString("0102030405060708"));
    for (int event = 1; event <= 6; ++event) {
      QCOMPARE(window->NumbersGB->NumE(event)->text(), QString("+7916%1").arg(event));
      QCOMPARE(window->NumbersGB->Call(event)->isChecked(), event % 2 == 1);
      // A dial box restored unticked disables its field.

      QCOMPARE(window->NumbersGB->NumE(event)->isEnabled(), event % 2 == 1);
      QCOMPARE(window->NumbersGB->H24(event)->isChecked(), event >= 4);
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
      QCOMPARE(window->cb1->currentText(), QString("COM2"));
      for (int event = 1; event <= 6; ++event) QVERIFY(window->NumbersGB->Call(event)->isChecked());
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

    QCOMPARE(window->cb1->currentText(), QString("COM3"));
    // Values after it are not.

    QVERIFY(window->NumbersGB->NumE(1)->text().isEmpty());
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
    {
      ScriptedPrompter prompter;
      PortMapScript ports;
      WindowUnderTest window({}, home.path());
      window->FormCreate();
      const QStringList errors = prompter.Texts(Prompt::kDefaultError);
      QCOMPARE(errors.size(), 1);
      QVERIFY2(errors[0].contains(UserReg(home)) && errors[0].contains("line 5"),
               qPrintable(errors[0]));
    }
    // Closing the window must not overwrite it.

    QCOMPARE(ReadFile(UserReg(home)), broken);
  }
};

QTEST_MAIN(WindowStateTest)
#include "window_state_test.moc"
