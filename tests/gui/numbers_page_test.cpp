// The dialing numbers page: its read from the settings tree and its buttons,
// the dial boxes' hold on the number fields, the boxes of events 5 and 6,
// and what the number fields let the user enter.

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "app/keys_page.h"
#include "app/number_key_filter.h"
#include "app/numbers_page.h"
#include "app/wait_window.h"
#include "fakes/sim_process.h"
#include "gui_test_support.h"
#include "panel/panel_session.h"
#include "panel/reply_checks.h"
#include "support/log.h"

using namespace orvex_test;

namespace {

// Every event has a number; events 1 and 2 dial, event 1 around the clock.
std::map<std::string, std::string> PanelMemory(const std::string& dial = "03",
                                               const std::string& day = "01") {
  std::map<std::string, std::string> memory{{"dial", dial}, {"h24", day}};
  for (int n = 1; n <= 6; ++n) {
    memory["number" + std::to_string(n)] = "3" + std::to_string(n) + std::string(30, '0');
  }
  return memory;
}

// The simulator on COM2, and the window after a start-up that declined to
// read: the port is open on the panel, the pages hold their designed state.
struct Bench {
  explicit Bench(std::map<std::string, std::string> memory = PanelMemory(),
                 std::vector<std::string> simArgs = {})
      : sim(WithState(memory, std::move(simArgs))), ports({{"COM2", sim.SlavePath()}}) {
    window->FormCreate();
    window->show();
    startCommands = sim.ReceivedCommands().size();
  }
  std::vector<std::string> WithState(const std::map<std::string, std::string>& memory,
                                     std::vector<std::string> args) {
    WriteSimState(state.File("state"), memory);
    args.insert(args.begin(), {"--state", state.File("state")});
    return args;
  }
  QStringList NewCommands() {
    const auto all = sim.ReceivedCommands();
    QStringList fresh = CommandsFrom(all, startCommands);
    startCommands = all.size();
    return fresh;
  }
  void Choose(int node) {
    window.Control<QTreeWidget>("SettingsTV")
        ->setCurrentItem(window.Control<QTreeWidget>("SettingsTV")->topLevelItem(node));
  }

  TempDir state;
  SimProcess sim;
  ScriptedPrompter prompter;
  PortMapScript ports;
  WindowUnderTest window;
  size_t startCommands = 0;
};

QString Ticks(TNumbersPage* page, bool dial) {
  QString ticks;
  for (int event = 1; event <= 6; ++event) {
    ticks += (dial ? Call(*page, event) : H24(*page, event))->isChecked() ? '1' : '0';
  }
  return ticks;
}

}  // namespace

class NumbersPageTest : public QObject {
  Q_OBJECT

 private slots:
  void choosingTheNumbersNodeReadsEveryTimeAndTheKeysNodeNever() {
    Bench bench(PanelMemory("3F"));

    bench.Choose(1);
    QVERIFY(bench.window.Control<TNumbersPage>("NumbersGB")->isVisible());
    QCOMPARE(bench.NewCommands(),
             (QStringList{"+s", "+H01", "+H02", "+H03", "+H04", "+H05", "+H06"}));
    QCOMPARE(NumE(*bench.window, 4)->text(), QString("4"));

    bench.Choose(0);
    QVERIFY(bench.window.Control<TKeysPage>("TMGB")->isVisible());
    QVERIFY(!bench.window.Control<TNumbersPage>("NumbersGB")->isVisible());
    QVERIFY(bench.NewCommands().isEmpty());

    // A box the user unticked shows the panel's flag again.
    Call(*bench.window, 3)->setChecked(false);
    bench.Choose(1);
    QCOMPARE(bench.NewCommands(),
             (QStringList{"+s", "+H01", "+H02", "+H03", "+H04", "+H05", "+H06"}));
    QVERIFY(Call(*bench.window, 3)->isChecked());
    QCOMPARE(NumE(*bench.window, 3)->text(), QString("3"));
  }

  void renamedNodesStillOpenTheirPages() {
    ScriptedPrompter prompter;
    PortMapScript ports;
    WindowUnderTest window;
    window->show();
    QTreeWidgetItem* keys = window.Control<QTreeWidget>("SettingsTV")->topLevelItem(0);
    QTreeWidgetItem* numbers = window.Control<QTreeWidget>("SettingsTV")->topLevelItem(1);
    keys->setText(0, numbers->text(0));
    numbers->setText(0, "Ключи Touch Memory");

    window.Control<QTreeWidget>("SettingsTV")->setCurrentItem(numbers);
    QVERIFY(window.Control<TNumbersPage>("NumbersGB")->isVisible());
    window.Control<QTreeWidget>("SettingsTV")->setCurrentItem(keys);
    QVERIFY(window.Control<TKeysPage>("TMGB")->isVisible());
    window->SettingsTVChange(nullptr);
    QVERIFY(window.Control<TKeysPage>("TMGB")->isVisible());
    QVERIFY(!window.Control<TNumbersPage>("NumbersGB")->isVisible());
  }

  void flagBitsSetEveryBox_data() {
    QTest::addColumn<QString>("flags");
    QTest::addColumn<QString>("dialBefore");
    QTest::addColumn<QString>("dayBefore");
    QTest::addColumn<QString>("dialAfter");
    QTest::addColumn<QString>("dayAfter");
    QTest::addColumn<QStringList>("numbersAsked");
    const QStringList all{"+H01", "+H02", "+H03", "+H04", "+H05", "+H06"};
    QTest::newRow("3F3F ticks all twelve") << "3F3F"
                                           << "000000"
                                           << "000000"
                                           << "111111"
                                           << "111111" << all;
    QTest::newRow("0000 unticks all twelve") << "0000"
                                             << "101111"
                                             << "110111"
                                             << "000000"
                                             << "000000" << QStringList{};
    QTest::newRow("each box shows its bit, not the ticks before")
        << "0102"
        << "000010"
        << "000000"
        << "100000"
        << "010000" << QStringList{"+H01"};
  }
  void flagBitsSetEveryBox() {
    QFETCH(QString, flags);
    QFETCH(QString, dialBefore);
    QFETCH(QString, dayBefore);
    QFETCH(QString, dialAfter);
    QFETCH(QString, dayAfter);
    QFETCH(QStringList, numbersAsked);
    Bench bench(PanelMemory(flags.left(2).toStdString(), flags.mid(2).toStdString()));
    TNumbersPage* page = bench.window.Control<TNumbersPage>("NumbersGB");
    for (int event = 1; event <= 6; ++event) {
      Call(*page, event)->setChecked(dialBefore.at(event - 1) == '1');
      H24(*page, event)->setChecked(dayBefore.at(event - 1) == '1');
    }

    QTest::mouseClick(Control<QPushButton>(*page, "ReadNumsB"), Qt::LeftButton);

    QCOMPARE(Ticks(page, true), dialAfter);
    QCOMPARE(Ticks(page, false), dayAfter);
    QCOMPARE(bench.NewCommands(), QStringList{"+s"} + numbersAsked);
    QVERIFY(page->isEnabled());
  }

  // The page as the user left it is what a failed read leaves, also when no
  // panel is there at all: the window saves it at closing.
  void aReadThatFailsLeavesThePageAsItWasAndSaysWhichFieldAndWhy_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("said");
    QTest::addColumn<int>("commands");  // -1: as the timing falls
    // Nothing was sent: no reply is said to be missing.
    QTest::newRow("no panel") << QStringList{}
                              << QString::fromUtf8(
                                     "Порт COM2 не открыт: охранной панели ничего "
                                     "не отправлено.")
                              << 0;
    QTest::newRow("flags not answered")
        << QStringList{"--silent-on", "+s"}
        << QString::fromUtf8(
               "Не удалось прочитать флаги «Дозвон» и «24 часа»: охранная панель не "
               "ответила.")
        << 1;
    QTest::newRow("flags answered as a key")
        << QStringList{"--answer-as", "+s:+T02"}
        << QString::fromUtf8(
               "Не удалось прочитать флаги «Дозвон» и «24 часа»: ответ охранной "
               "панели искажён или относится к другому запросу.")
        << 1;
    QTest::newRow("a broken number")
        << QStringList{"--bad-hex", "--match", "+H02"}
        << QString::fromUtf8(
               "Не удалось прочитать номер 2 (Замыкание шлейфа 1): ответ охранной "
               "панели искажён или относится к другому запросу.")
        << 3;
    // On a loaded machine the copy may still fall into +H01's own slice:
    // then +H01 is the one refused.
    QTest::newRow("a late copy beside a refusal")
        << QStringList{"--twice", "+H01:120", "--error-on", "+H02"}
        << QString::fromUtf8("Не удалось прочитать номер ") << -1;
  }
  void aReadThatFailsLeavesThePageAsItWasAndSaysWhichFieldAndWhy() {
    QFETCH(QStringList, simArgs);
    QFETCH(QString, said);
    QFETCH(int, commands);
    std::vector<std::string> args;
    for (const QString& arg : simArgs) args.push_back(arg.toStdString());
    Bench bench(PanelMemory("3F"), args);
    if (QString(QTest::currentDataTag()) == "no panel") bench.ports.Map("COM2", "/nonexistent");
    TNumbersPage* page = bench.window.Control<TNumbersPage>("NumbersGB");
    NumE(*page, 1)->setText("112");
    NumE(*page, 2)->setText("+79161234567");
    Call(*page, 3)->setChecked(false);
    H24(*page, 4)->setChecked(false);
    bench.window->OpenPort();

    bench.Choose(1);

    if (commands >= 0) QCOMPARE(bench.NewCommands().size(), commands);
    QCOMPARE(bench.prompter.Texts(Prompt::kDefaultError).size(), 1);
    QVERIFY2(bench.prompter.Texts(Prompt::kDefaultError).front().startsWith(said),
             qPrintable(bench.prompter.Texts(Prompt::kDefaultError).front()));
    QVERIFY(page->isEnabled());
    QCOMPARE(NumE(*page, 1)->text(), QString("112"));
    QCOMPARE(NumE(*page, 2)->text(), QString("+79161234567"));
    QCOMPARE(Ticks(page, true), QString("110111"));
    QCOMPARE(Ticks(page, false), QString("111011"));
    QVERIFY(!NumE(*page, 3)->isEnabledTo(page));
  }

  void writeButtonWritesReadsBackAndSaysDoneInOneBox() {
    Bench bench;
    bench.Choose(1);
    bench.NewCommands();
    // Event 3 does not dial: its number is written empty, and the box says so.
    NumE(*bench.window, 3)->setText("+7123");
    NumE(*bench.window, 1)->setText("112");
    int waits = 0;
    int behindTheWaitWindow = 0;
    bench.window->Comm1().SetIdleHook([&] {
      ++waits;
      if (auto* wait = bench.window->findChild<TfWait*>(); wait && wait->isVisible())
        ++behindTheWaitWindow;
    });

    QTest::mouseClick(bench.window.Control<QPushButton>("WriteNumsB"), Qt::LeftButton);

    QVERIFY(waits > 10);
    QCOMPARE(behindTheWaitWindow, waits);

    const QStringList sent = bench.NewCommands();
    QCOMPARE(
        sent.mid(0, 7),
        (QStringList{"+s0301", "+H0131313200000000000000000000000000",
                     "+H0232000000000000000000000000000000", "+H0300000000000000000000000000000000",
                     "+H0400000000000000000000000000000000", "+H0500000000000000000000000000000000",
                     "+H0600000000000000000000000000000000"}));
    QCOMPARE(sent.mid(7), (QStringList{"+s", "+H01", "+H02", "+H03", "+H04", "+H05", "+H06"}));
    QCOMPARE(bench.prompter.Texts(Prompt::kQuestion).size(), 1);  // the start-up question only
    QCOMPARE(bench.prompter.Texts(Prompt::kDefaultError), QStringList());
    QCOMPARE(bench.prompter.Texts(Prompt::kInform),
             QStringList{QString::fromUtf8(
                 "Номера дозвона и флаги «Дозвон» и «24 часа» записаны в охранную панель на порту "
                 "COM2 и прочитаны обратно: панель хранит то же, что страница «Номера дозвона».\n"
                 "Номер 3 (Размыкание шлейфа 2) записан пустым: у события без флажка «Дозвон» "
                 "охранная панель не хранит номер, и «+7123» из поля не записан.")});
  }

  void writeButtonNamesTheNumberThePanelRefusedWithBothValues() {
    Bench bench(PanelMemory(), {"--error-on", "+H030"});
    bench.Choose(1);
    bench.NewCommands();

    QTest::mouseClick(bench.window.Control<QPushButton>("WriteNumsB"), Qt::LeftButton);

    QCOMPARE(bench.NewCommands().size(), 14);  // all seven written, all seven read back
    QCOMPARE(bench.prompter.Texts(Prompt::kDefaultError),
             QStringList{QString::fromUtf8(
                 "Номера дозвона не записаны как надо:\n"
                 "Охранная панель на порту COM2 не подтвердила запись:\n"
                 "Номер 3 (Размыкание шлейфа 2): охранная панель отказала\n"
                 "Прочитанная обратно панель отличается от окна:\n"
                 "Номер 3 (Размыкание шлейфа 2): в окне нет номера, в панели «3».")});
  }

  void boxesOfEvents5And6ShowOnlyInDebugMode_data() {
    QTest::addColumn<bool>("debug");
    QTest::newRow("debug mode off") << false;
    QTest::newRow("debug mode on") << true;
  }
  void boxesOfEvents5And6ShowOnlyInDebugMode() {
    QFETCH(bool, debug);
    ScriptedPrompter prompter;
    PortMapScript ports;
    WindowUnderTest window;
    TNumbersPage* page = window.Control<TNumbersPage>("NumbersGB");
    window->Session().SetDebugMode(debug);

    // The port is closed: nothing is exchanged, and the read fails.
    QVERIFY_THROWS_EXCEPTION(EPortNotOpen, page->ReadNumsBClick());

    for (int event : {5, 6}) {
      QCOMPARE(Call(*page, event)->isHidden(), !debug);
      QCOMPARE(H24(*page, event)->isHidden(), !debug);
      QVERIFY(!NumE(*page, event)->isHidden());
    }
    QVERIFY(!Call(*page, 4)->isHidden());
  }

  void aDialBoxHoldsItsFieldOnlyWhenItsStateChanges() {
    ScriptedPrompter prompter;
    PortMapScript ports;
    WindowUnderTest window;
    window->show();
    window->ShowPage(window.Control<TNumbersPage>("NumbersGB"));  // shown without a read
    TNumbersPage* page = window.Control<TNumbersPage>("NumbersGB");
    NumE(*page, 2)->setText("+7123");

    QTest::mouseClick(Call(*page, 2), Qt::LeftButton);
    QVERIFY(!Call(*page, 2)->isChecked());
    QVERIFY(!NumE(*page, 2)->isEnabledTo(page));
    QCOMPARE(NumE(*page, 2)->text(), QString("+7123"));
    QTest::mouseClick(Call(*page, 2), Qt::LeftButton);
    QVERIFY(NumE(*page, 2)->isEnabledTo(page));
    QCOMPARE(NumE(*page, 2)->text(), QString("+7123"));

    // Setting the state a box already has is no change: nothing runs.
    NumE(*page, 3)->setEnabled(false);
    page->SetDialTicked(3, true);
    QVERIFY(!NumE(*page, 3)->isEnabledTo(page));
    page->SetDialTicked(3, false);
    page->SetDialTicked(3, true);
    QVERIFY(NumE(*page, 3)->isEnabledTo(page));
  }

  void numberFieldsTakeDigitsPlusAndBackspaceOnly() {
    ScriptedPrompter prompter;
    PortMapScript ports;
    WindowUnderTest window;
    window->show();
    QLineEdit* field = NumE(*window, 1);
    field->setFocus();

    QTest::keyClicks(field, "1a2B+3-x 4");
    QCOMPARE(field->text(), QString("12+34"));
    QTest::keyClick(field, Qt::Key_Backspace);
    QCOMPARE(field->text(), QString("12+3"));
    QTest::keyClick(field, Qt::Key_Home);
    QTest::keyClick(field, Qt::Key_Delete);
    QCOMPARE(field->text(), QString("2+3"));
  }

  void typingStopsAt15CharactersButTheProgramMayPutMore() {
    ScriptedPrompter prompter;
    PortMapScript ports;
    WindowUnderTest window;
    window->show();
    TNumbersPage* page = window.Control<TNumbersPage>("NumbersGB");
    QLineEdit* field = NumE(*page, 1);
    field->setFocus();

    QTest::keyClicks(field, "12345678901234567890");
    QCOMPARE(field->text(), QString("123456789012345"));

    page->SetNumberText(1, "1234567890123456");
    QCOMPARE(field->text(), QString("1234567890123456"));
    QTest::keyClick(field, Qt::Key_End);
    QTest::keyClicks(field, "7");
    QCOMPARE(field->text(), QString("1234567890123456"));
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, "99");
    QCOMPARE(field->text(), QString("123456789012349"));
  }

  void pastingWithCtrlVTakesLettersUpToTheLimit() {
    ScriptedPrompter prompter;
    PortMapScript ports;
    WindowUnderTest window;
    window->show();
    QLineEdit* field = NumE(*window, 1);
    field->setFocus();
    QGuiApplication::clipboard()->setText("ab+1");

    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(field->text(), QString("ab+1"));
    QVERIFY(CtrlHeld);

    field->setText("12345678901");
    QTest::keyClick(field, Qt::Key_End);
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(field->text(), QString("12345678901ab+1"));
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(field->text(), QString("12345678901ab+1"));
  }

  void onlyCtrlAloneLetsEveryCharacterThrough_data() {
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<bool>("ctrlHeld");
    QTest::newRow("Ctrl") << int(Qt::ControlModifier) << int(Qt::NoButton) << true;
    QTest::newRow("Ctrl on the keypad")
        << int(Qt::ControlModifier | Qt::KeypadModifier) << int(Qt::NoButton) << true;
    QTest::newRow("Ctrl and Shift")
        << int(Qt::ControlModifier | Qt::ShiftModifier) << int(Qt::NoButton) << false;
    QTest::newRow("Ctrl and Alt") << int(Qt::ControlModifier | Qt::AltModifier) << int(Qt::NoButton)
                                  << false;
    QTest::newRow("Ctrl with a mouse button")
        << int(Qt::ControlModifier) << int(Qt::LeftButton) << false;
    QTest::newRow("nothing") << int(Qt::NoModifier) << int(Qt::NoButton) << false;
  }
  void onlyCtrlAloneLetsEveryCharacterThrough() {
    QFETCH(int, modifiers);
    QFETCH(int, buttons);
    QFETCH(bool, ctrlHeld);
    TNumberKeyFilter::NumE1KeyDown(Qt::KeyboardModifiers(modifiers), Qt::MouseButtons(buttons));
    QCOMPARE(CtrlHeld, ctrlHeld);
    QCOMPARE(TNumberKeyFilter::NumE1KeyPress(QChar(0x16)), ctrlHeld);  // Ctrl+V
    QCOMPARE(TNumberKeyFilter::NumE1KeyPress(QChar('a')), ctrlHeld);
    QVERIFY(TNumberKeyFilter::NumE1KeyPress(QChar('7')));
    QVERIFY(TNumberKeyFilter::NumE1KeyPress(QChar(8)));
    CtrlHeld = false;
  }

  void everyByteOfANumberComesBackUnchanged() {
    ScriptedPrompter prompter;
    PortMapScript ports;
    WindowUnderTest window;
    std::string bytes;
    for (int code = 1; code < 256; ++code) bytes += static_cast<char>(code);

    window.Control<TNumbersPage>("NumbersGB")->SetNumberText(6, bytes);
    QVERIFY(window.Control<TNumbersPage>("NumbersGB")->NumberText(6) == bytes);
  }
};

QTEST_MAIN(NumbersPageTest)
#include "numbers_page_test.moc"
