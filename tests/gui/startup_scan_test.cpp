// Start-up and the connection attempt: the probe of the port box's device,
// the scan of the port list, the no-connection message, the connection box.

#include <QComboBox>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTreeWidget>
#include <fstream>

#include "app/connection_box.h"
#include "app/keys_page.h"
#include "app/numbers_page.h"
#include "app/port_notice.h"
#include "fakes/fake_sysfs.h"
#include "fakes/holder_process.h"
#include "fakes/pty_pair.h"
#include "fakes/sim_process.h"
#include "fakes/temp_dir.h"
#include "gui_test_support.h"

using namespace orvex_test;

namespace {

const QString kNoConnection = QString::fromUtf8("Нет связи с охранной панелью \"Orvex-GSM\"!");
const QString kPanelFound =
    QString::fromUtf8("Обнаружена охранная панель \"Orvex GSM\", прочитать настройки?");

}  // namespace

class StartupScanTest : public QObject {
  Q_OBJECT

 private slots:
  void noPanelProbesPortBoxThenEveryListEntryAndRestoresText_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("expectedLookUps");
    const QStringList list{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"};
    QTest::newRow("designed COM2") << QString("COM2") << (QStringList{"COM2"} + list);
    QTest::newRow("typed beyond the list") << QString("COM12") << (QStringList{"COM12"} + list);
    // An empty name opens nothing and is never looked up.
    QTest::newRow("empty box") << QString() << list;
  }
  void noPanelProbesPortBoxThenEveryListEntryAndRestoresText() {
    QFETCH(QString, typed);
    QFETCH(QStringList, expectedLookUps);
    ScriptedPrompter prompter;
    PortMapScript ports;
    WindowUnderTest window;
    window.Control<QComboBox>("cb1")->setEditText(typed);

    window->FormCreate();

    QCOMPARE(Names(ports.LookedUp()), expectedLookUps);
    QCOMPARE(prompter.Texts(Prompt::kConfirm), QStringList{kNoConnection});
    QCOMPARE(prompter.prompts.size(), size_t{1});
    QCOMPARE(window.Control<QComboBox>("cb1")->currentText(), typed);
    QVERIFY(!window.Control<QCheckBox>("xCon")->isChecked());
  }

  void panelOnCom5IsFoundAfterCom1ToCom4AndTheScanStops() {
    SimProcess sim;
    ScriptedPrompter prompter;
    PortMapScript ports({{"COM5", sim.SlavePath()}});
    WindowUnderTest window;

    window->FormCreate();

    QCOMPARE(Names(ports.LookedUp()),
             (QStringList{"COM2", "COM1", "COM2", "COM3", "COM4", "COM5"}));
    QCOMPARE(prompter.Texts(Prompt::kQuestion), QStringList{kPanelFound});
    QVERIFY(prompter.Texts(Prompt::kConfirm).isEmpty());
    QCOMPARE(window.Control<QComboBox>("cb1")->currentText(), QString("COM5"));
    QVERIFY(window.Control<QCheckBox>("xCon")->isChecked());
    QVERIFY(window->Comm1().Opened());
    QCOMPARE(Names(sim.ReceivedCommands()), QStringList{"+T01"});
  }

  void windowOpensCentredOnTheKeysPageWithoutTouchingTheTree() {
    ScriptedPrompter prompter;
    PortMapScript ports;
    WindowUnderTest window;
    window->FormCreate();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(&*window));

    QVERIFY(window.Control<TKeysPage>("TMGB")->isVisible());
    QVERIFY(!window.Control<TNumbersPage>("NumbersGB")->isVisible());
    QCOMPARE(window.Control<QTreeWidget>("SettingsTV")->currentItem(), nullptr);
    const QRect screen = window->screen()->availableGeometry();
    const QPoint offset = window->frameGeometry().center() - screen.center();
    QVERIFY2(qAbs(offset.x()) <= 30 && qAbs(offset.y()) <= 30,
             qPrintable(QString("off centre by %1, %2").arg(offset.x()).arg(offset.y())));
    // The page fills the page area.
    QCOMPARE(window.Control<TKeysPage>("TMGB")->geometry(),
             window.Control<TKeysPage>("TMGB")->parentWidget()->rect());
  }

  void mousePressOnConnectionBoxConnectsAndDoesNotToggleTheMark() {
    SimProcess sim;
    ScriptedPrompter prompter;
    PortMapScript ports({{"COM2", sim.SlavePath()}});
    WindowUnderTest window;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(&*window));
    QVERIFY(!window.Control<QCheckBox>("xCon")->isChecked());

    QTest::mouseClick(window.Control<QCheckBox>("xCon"), Qt::LeftButton);

    // The panel answered on the port box's device: one question, no scan,
    // and the mark is what the probe left, not what a click would toggle.
    QCOMPARE(prompter.Texts(Prompt::kQuestion), QStringList{kPanelFound});
    QCOMPARE(Names(ports.LookedUp()), QStringList{"COM2"});
    QVERIFY(window.Control<QCheckBox>("xCon")->isChecked());

    QTest::mouseClick(window.Control<QCheckBox>("xCon"), Qt::RightButton);
    QCOMPARE(prompter.Texts(Prompt::kQuestion).size(), 2);
    QVERIFY(window.Control<QCheckBox>("xCon")->isChecked());
  }

  void spaceOnConnectionBoxTogglesOnlyTheMark() {
    ScriptedPrompter prompter;
    PortMapScript ports;
    WindowUnderTest window;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(&*window));
    window.Control<QCheckBox>("xCon")->setFocus();

    QTest::keyClick(window.Control<QCheckBox>("xCon"), Qt::Key_Space);
    QVERIFY(window.Control<QCheckBox>("xCon")->isChecked());
    QTest::keyClick(window.Control<QCheckBox>("xCon"), Qt::Key_Space);
    QVERIFY(!window.Control<QCheckBox>("xCon")->isChecked());

    QVERIFY(ports.LookedUp().empty());
    QVERIFY(prompter.prompts.empty());
  }

  void anAdapterPresentIsListedAfterCom8AndTheScanFindsThePanelThere() {
    SimProcess sim;
    TempDir root;
    FakeSysfs tree(root.path());
    tree.AddUsbSerial(
        "ttyUSB0", {"1-1", "0403", "6001", "FTDI", "FT232R USB UART", "A50285BI", "ftdi_sio", ""});
    tree.LinkDevice("ttyUSB0", sim.SlavePath());
    ScriptedPrompter prompter;
    PortMapScript ports;
    WindowUnderTest window({}, {}, root.path());
    const QString adapter = QString::fromStdString(tree.Device("ttyUSB0"));
    QCOMPARE(window.Control<QComboBox>("cb1")->count(), 9);
    QCOMPARE(window.Control<QComboBox>("cb1")->itemText(8), adapter);

    window->FormCreate();

    QCOMPARE(prompter.Texts(Prompt::kQuestion), QStringList{kPanelFound});
    QCOMPARE(window.Control<QComboBox>("cb1")->currentText(), adapter);
    QVERIFY(window.Control<QCheckBox>("xCon")->isChecked());

    // An adapter plugged in later shows when the list is opened; the text
    // stays.
    tree.AddAcm("ttyACM0", {"1-2", "2341", "0043", "", "Arduino Uno", "", "cdc_acm", ""});
    window.Control<QComboBox>("cb1")->showPopup();
    window.Control<QComboBox>("cb1")->hidePopup();
    QCOMPARE(window.Control<QComboBox>("cb1")->count(), 10);
    QCOMPARE(window.Control<QComboBox>("cb1")->itemText(8),
             QString::fromStdString(tree.Device("ttyACM0")));
    QCOMPARE(window.Control<QComboBox>("cb1")->currentText(), adapter);
  }

  void aPortHeldByAnotherProgramIsToldAfterTheNoConnectionMessage() {
    PtyPair pty;
    HolderProcess terminal(pty.SlavePath());
    ScriptedPrompter prompter;
    PortMapScript ports;
    WindowUnderTest window;
    const QString device = QString::fromStdString(pty.SlavePath());
    window.Control<QComboBox>("cb1")->setEditText(device);

    window->FormCreate();

    QCOMPARE(prompter.prompts.size(), size_t{2});
    QCOMPARE(prompter.prompts[0].text, kNoConnection);
    QCOMPARE(prompter.prompts[1].kind, Prompt::kInform);
    QCOMPARE(prompter.prompts[1].text,
             QString::fromUtf8("Не удалось открыть порт:\n%1: занят программой sleep (PID %2).\n\n"
                               "Закройте программу, которая заняла порт, и щёлкните «Связь с "
                               "охранной панелью».")
                 .arg(device)
                 .arg(terminal.pid()));

    // Without permission (root opens anything, so the refusal is made up
    // here): the group and the command that adds the user to it.
    const OpenFailure refused{OpenFailureKind::kPermission, 13, "", "/dev/ttyUSB0", {}, "dialout"};
    QCOMPARE(PortNotice({refused}),
             QString::fromUtf8("Не удалось открыть порт:\n/dev/ttyUSB0: нет прав доступа.\n\n"
                               "Чтобы работать с портом, добавьте пользователя в группу dialout "
                               "командой\nsudo usermod -aG dialout $USER\nи войдите в систему "
                               "заново."));
  }

  void theNoConnectionMessageDetailsEveryPortTriedWithItsCause() {
    PtyPair quiet;  // a port with nothing behind it
    PtyPair held;
    HolderProcess terminal(held.SlavePath());
    TempDir dir;
    const std::string plainFile = dir.File("not-a-port");
    std::ofstream(plainFile) << "x";
    ScriptedPrompter prompter;
    PortMapScript ports(
        {{"COM1", quiet.SlavePath()}, {"COM3", plainFile}, {"COM4", held.SlavePath()}});
    WindowUnderTest window;

    window->FormCreate();

    QCOMPARE(prompter.prompts[0].text, kNoConnection);
    const auto missing = [](int n) {
      return QString::fromUtf8(
                 "COM%1 (/nonexistent/orvex-gui-test/COM%1): такого порта нет (No "
                 "such file or directory).")
          .arg(n);
    };
    // Each port once (COM2 was probed twice), then each cause's next step.
    QStringList expected{
        QString::fromUtf8("Опрошены порты:"), missing(2),
        QString::fromUtf8("COM1: открыт, охранная панель не ответила."),
        QString::fromUtf8(
            "COM3 (%1): это не последовательный порт (Inappropriate ioctl for device).")
            .arg(QString::fromStdString(plainFile)),
        QString::fromUtf8("COM4 (%1): занят программой sleep (PID %2).")
            .arg(QString::fromStdString(held.SlavePath()))
            .arg(terminal.pid())};
    for (int n = 5; n <= 8; ++n) expected << missing(n);
    expected
        << QString() << QString::fromUtf8("Что делать:")
        << QString::fromUtf8(
               "Такого порта нет: подключите адаптер или выберите в списке порт, который есть.")
        << QString::fromUtf8(
               "Охранная панель не ответила: проверьте кабель и питание охранной панели; если "
               "она на другом порту, выберите его в списке портов.")
        << QString::fromUtf8("Это не последовательный порт: выберите в списке другой порт.")
        << QString::fromUtf8(
               "Порт занят: закройте программу, которая его заняла, и щёлкните "
               "«Связь с охранной панелью».");
    QCOMPARE(prompter.prompts[0].details.split('\n'), expected);

    // Without permission (root opens anything, so the refusal is made up
    // here): the group to join.
    const OpenFailure refused{
        OpenFailureKind::kPermission, 13, "Permission denied", "/dev/ttyUSB0", {}, "dialout"};
    QCOMPARE(OpenFailureText(refused),
             QString::fromUtf8("нет прав доступа (Permission denied). Добавьте пользователя в "
                               "группу dialout (sudo usermod -aG dialout $USER) и войдите в "
                               "систему заново."));
  }

  // The panel answered on COM2 twice (the port box's port, then the list's),
  // and each read failed: the details say so, once, never "не ответила".
  void aPortWhereThePanelAnsweredAndTheReadFailedIsNamedWithThatFailure() {
    SimProcess sim({"--silent-on", "+T02"});
    ScriptedPrompter prompter;
    prompter.AnswerNext(true);
    prompter.AnswerNext(true);
    PortMapScript ports({{"COM2", sim.SlavePath()}});
    WindowUnderTest window;

    window->FormCreate();

    QCOMPARE(prompter.Texts(Prompt::kQuestion).size(), 2);
    QCOMPARE(prompter.Texts(Prompt::kConfirm), QStringList{kNoConnection});
    const QStringList lines = prompter.Texts(Prompt::kConfirm).isEmpty()
                                  ? QStringList()
                                  : prompter.prompts.back().details.split('\n');
    const QStringList com2 = lines.filter(QRegularExpression("^COM2"));
    QCOMPARE(com2, QStringList{QString::fromUtf8(
                       "COM2: охранная панель ответила, но настройки не прочитаны — не "
                       "удалось прочитать ключ 2: охранная панель не ответила.")});
    QVERIFY(lines.contains(QString::fromUtf8(
        "Охранная панель ответила, но чтение не удалось: проверьте кабель и щёлкните «Связь с "
        "охранной панелью», чтобы прочитать настройки ещё раз.")));
  }

  void aLostPanelClearsTheMarkThatARestoreLeftTicked() {
    ScriptedPrompter prompter;
    PortMapScript ports;
    WindowUnderTest window;
    window.Control<QCheckBox>("xCon")->setChecked(true);

    window->FormCreate();

    QVERIFY(!window.Control<QCheckBox>("xCon")->isChecked());
    QCOMPARE(prompter.Texts(Prompt::kConfirm), QStringList{kNoConnection});
  }
};

QTEST_MAIN(StartupScanTest)
#include "startup_scan_test.moc"
