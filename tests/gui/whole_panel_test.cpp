// The whole-panel read and write behind the wait window: what reaches the
// controls, what goes to the panel, and what the user is told when the panel
// does not confirm a write.

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <QWindow>
#include <fstream>
#include <set>
#include <sstream>

#include "app/connection_box.h"
#include "app/copy_animation.h"
#include "app/key_grid.h"
#include "app/keys_page.h"
#include "app/numbers_page.h"
#include "app/wait_window.h"
#include "fakes/sim_process.h"
#include "gui_test_support.h"
#include "support/log.h"
#include "support/text_codec.h"

using namespace orvex_test;

namespace {

const char* const kWriteFailed = "Ошибка записи в охранную панель \"Orvex GSM\":\n\r\n\r";

// Keys 1 and 3 set, events 1, 2 and 4 dialled with their numbers (number 4
// has 16 characters, one more than can be typed), 24 hours for 1 and 3.
std::map<std::string, std::string> PanelMemory() {
  return {{"key1", "0123456789ABCDEF"},
          {"key2", "1111111111111111"},
          {"key3", "FEDCBA9876543210"},
          {"dial", "0B"},
          {"h24", "05"},
          {"number1", "2B373931323132333435363700000000"},
          {"number2", "38393132333435363738393000000000"},
          {"number4", "31323334353637383930313233343536"}};
}

// A simulator holding PanelMemory(), mapped to COM2, and the window after a
// start-up whose question was answered as given.
struct Bench {
  explicit Bench(std::vector<std::string> simArgs = {}, bool readAtStart = true)
      : sim(WithState(std::move(simArgs))), ports({{"COM2", sim.SlavePath()}}) {
    prompter.AnswerNext(readAtStart);
    window->FormCreate();
  }
  std::vector<std::string> WithState(std::vector<std::string> args) {
    WriteSimState(state.File("state"), PanelMemory());
    args.insert(args.begin(), {"--state", state.File("state")});
    return args;
  }
  QStringList CommandsSinceStart() { return CommandsFrom(sim.ReceivedCommands(), 0); }

  TempDir state;
  SimProcess sim;
  ScriptedPrompter prompter;
  PortMapScript ports;
  WindowUnderTest window;
};

QStringList KeyEntries(TfOrvex& window) {
  QStringList entries;
  for (int i = 0; i < Control<TKeyGrid>(window, "TouchSTR")->EntryCount(); ++i) {
    entries << Control<TKeyGrid>(window, "TouchSTR")->EntryName(i) + "=" +
                   Control<TKeyGrid>(window, "TouchSTR")->EntryValue(i);
  }
  return entries;
}

QString Ticks(TfOrvex& window, bool dial) {
  QString ticks;
  for (int event = 1; event <= 6; ++event) {
    QCheckBox* box = dial ? Call(window, event) : H24(window, event);
    ticks += box->isChecked() ? '1' : '0';
  }
  return ticks;
}

// The probe, the keys, the flags, and the numbers of the dialled events.
const QStringList kReadCommands = {"+T01", "+T01", "+T02", "+T03", "+T04",
                                   "+s",   "+H01", "+H02", "+H04"};

}  // namespace

class WholePanelTest : public QObject {
  Q_OBJECT

 private slots:
  void yesReadsKeysFlagsAndNumbersIntoTheControls() {
    Bench bench;
    TfOrvex& window = *bench.window;

    QCOMPARE(bench.CommandsSinceStart(), kReadCommands);
    QCOMPARE(KeyEntries(window), (QStringList{"1=EFCDAB8967452301", "2=1111111111111111",
                                              "3=1032547698BADCFE", "4=0000000000000000"}));
    // Every box shows its flag bit, whatever it showed before the read.
    QCOMPARE(Ticks(window, true), QString("110100"));
    QCOMPARE(Ticks(window, false), QString("101000"));
    QCOMPARE(NumE(window, 1)->text(), QString("+79121234567"));
    QCOMPARE(NumE(window, 2)->text(), QString("891234567890"));
    QCOMPARE(NumE(window, 3)->text(), QString());
    QCOMPARE(NumE(window, 4)->text(), QString("1234567890123456"));
    QVERIFY(!NumE(window, 3)->isEnabledTo(Control<TNumbersPage>(window, "NumbersGB")));
    QVERIFY(Control<TNumbersPage>(window, "NumbersGB")->isEnabled());
    QVERIFY(Control<QCheckBox>(window, "xCon")->isChecked());
    // No closing message, and the wait window is gone.
    QCOMPARE(bench.prompter.prompts.size(), size_t{1});
    QCOMPARE(window.findChild<TfWait*>(), nullptr);
  }

  void waitWindowIsOnScreenAndAnimatesWhileTheReadBlocks() {
    TempDir state;
    WriteSimState(state.File("state"), PanelMemory());
    SimProcess sim({"--state", state.File("state")});
    ScriptedPrompter prompter;
    PortMapScript ports({{"COM2", sim.SlavePath()}});
    WindowUnderTest window;
    // Watch what the wait window looks like each time the exchange waits.
    int waits = 0;
    int exposed = 0;
    int beforeTheWaitWindow = 0;
    std::set<int> frames;
    window->Comm1().SetIdleHook([&] {
      ++waits;
      auto* wait = window->findChild<TfWait*>();
      if (!wait) {
        ++beforeTheWaitWindow;
        return;
      }
      wait->Animate();
      if (wait->isVisible() && wait->windowHandle()->isExposed()) ++exposed;
      frames.insert(Control<TCopyAnimation>(*wait, "Animate1")->Frame());
    });
    prompter.AnswerNext(true);

    window->FormCreate();

    QVERIFY(waits > 10);
    // Only the probe (its 250 ms budget, which it watches to the end: up to
    // seven looks) waits before the wait window exists; every wait of the
    // read has it on screen.
    QVERIFY2(beforeTheWaitWindow <= 7, qPrintable(QString::number(beforeTheWaitWindow)));
    QCOMPARE(exposed, waits - beforeTheWaitWindow);
    QVERIFY2(frames.size() >= 5, qPrintable(QString("%1 frames").arg(frames.size())));
    QCOMPARE(window->findChild<TfWait*>(), nullptr);
  }

  void noFillsTheKeyListUpToFourPlaceholders_data() {
    QTest::addColumn<int>("entriesBefore");
    QTest::addColumn<QStringList>("expected");
    const QString sevens("7777777777777777");
    QTest::newRow("empty list") << 0
                                << QStringList{"1=" + sevens, "2=" + sevens, "3=" + sevens,
                                               "4=" + sevens};
    QTest::newRow("two entries") << 2 << QStringList{"a=k0", "b=k1", "3=" + sevens, "4=" + sevens};
    QTest::newRow("four entries") << 4 << QStringList{"a=k0", "b=k1", "c=k2", "d=k3"};
  }
  void noFillsTheKeyListUpToFourPlaceholders() {
    QFETCH(int, entriesBefore);
    QFETCH(QStringList, expected);
    SimProcess sim;
    ScriptedPrompter prompter;
    PortMapScript ports({{"COM2", sim.SlavePath()}});
    WindowUnderTest window;
    for (int i = 0; i < entriesBefore; ++i) {
      window.Control<TKeysPage>("TMGB")->Append(std::string(1, static_cast<char>('a' + i)),
                                                "k" + std::to_string(i));
    }
    prompter.AnswerNext(false);

    window->FormCreate();

    QCOMPARE(KeyEntries(*window), expected);
    QCOMPARE(Names(sim.ReceivedCommands()), QStringList{"+T01"});
  }

  void writeSendsTheControlsAsTheyStandReadsBackAndSaysDone() {
    Bench bench;
    H24(*bench.window, 6)->setChecked(true);
    // Event 3 does not dial: what its field holds is not written.
    NumE(*bench.window, 3)->setText("+7123");

    bench.window->Button2Click();

    const QStringList written = {"+T010123456789ABCDEF",
                                 "+T021111111111111111",
                                 "+T03FEDCBA9876543210",
                                 "+T040000000000000000",
                                 "+s0B25",
                                 "+H012B373931323132333435363700000000",
                                 "+H0238393132333435363738393000000000",
                                 "+H0300000000000000000000000000000000",
                                 "+H0431323334353637383930313233343536",
                                 "+H0500000000000000000000000000000000",
                                 "+H0600000000000000000000000000000000"};
    // Read back as the exact copy reads: a key, the shortest budget, last.
    const QStringList readBack = {"+s",   "+H01", "+H02", "+H03", "+H04", "+H05",
                                  "+H06", "+T01", "+T02", "+T03", "+T04"};
    QCOMPARE(CommandsFrom(bench.sim.ReceivedCommands(), kReadCommands.size()), written + readBack);
    QCOMPARE(bench.prompter.Texts(Prompt::kQuestion).size(), 1);  // the start-up question only
    QCOMPARE(bench.prompter.Texts(Prompt::kError), QStringList());
    QCOMPARE(bench.prompter.Texts(Prompt::kInform),
             QStringList{QString::fromUtf8(
                 "Настройки записаны в охранную панель \"Orvex GSM\" на порту COM2 и прочитаны "
                 "обратно: панель хранит то же, что окно.\n"
                 "Номер 3 (Размыкание шлейфа 2) записан пустым: у события без флажка «Дозвон» "
                 "охранная панель не хранит номер, и «+7123» из поля не записан.")});
    QCOMPARE(bench.window->findChild<TfWait*>(), nullptr);
  }

  void writeNamesEveryUnconfirmedFieldOfBothPagesAndStillWritesTheNumbers() {
    // Key 2 and number 3 are refused when written, not when read.
    Bench bench({"--error-on", "+T021", "--error-on", "+H030"});
    TempDir logDir;
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(logDir.path()));
    DebugMode = true;

    bench.window->Button2Click();

    DebugMode = false;
    QDir::setCurrent(cwd);
    const auto sent = CommandsFrom(bench.sim.ReceivedCommands(), kReadCommands.size());
    QCOMPARE(sent.size(), 22);
    QVERIFY(sent[10].startsWith("+H06"));
    const QString report = QString::fromUtf8(
        "Охранная панель на порту COM2 не подтвердила запись:\n"
        "Ключ 2: охранная панель отказала\n"
        "Номер 3 (Размыкание шлейфа 2): охранная панель отказала\n"
        "Прочитанная обратно панель хранит то же, что окно.");
    QCOMPARE(bench.prompter.Texts(Prompt::kError),
             QStringList{QString::fromUtf8(kWriteFailed) + report});
    // The log holds what the panel answered, in code page 1251.
    const std::string log = ReadFileBytes(logDir.File("log.txt"));
    QVERIFY(log.find(Utf8ToCp1251("Не подтверждена запись +T02: \"ERROR\\r\\n\"")) !=
            std::string::npos);
  }

  // Whatever went wrong, one box names the field in the window's words, and
  // for a field the panel holds otherwise both values.
  void aWriteThatIsNotReadBackTheSameSaysWhichFieldAndBothValues_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("said");
    QTest::addColumn<int>("sent");
    QTest::newRow("key 2 refused")
        << QStringList{"--error-on", "+T022"}
        << QString::fromUtf8(
               "Охранная панель на порту COM2 не подтвердила запись:\n"
               "Ключ 2: охранная панель отказала\n"
               "Прочитанная обратно панель отличается от окна:\n"
               "Ключ 2: в окне «2222222222222222», в панели «1111111111111111»")
        << 22;
    QTest::newRow("the panel falls silent")
        << QStringList{"--silent-on", "+T022"}
        << QString::fromUtf8(
               "Охранная панель на порту COM2 перестала отвечать при записи: ключ "
               "2; дальше ничего не отправлено.\nПанель может хранить запись не до "
               "конца: проверьте кабель и питание охранной панели и запишите ещё "
               "раз.")
        << 2;
    QTest::newRow("number 5 read back garbled")
        << QStringList{"--bad-hex", "--match", "+H05"}
        << QString::fromUtf8(
               "Запись отправлена, но прочитать панель обратно не удалось:\n"
               "Номер 5 (Снятие с охраны): ответ охранной панели искажён или "
               "относится к другому запросу.\nПрочитайте настройки из охранной "
               "панели, чтобы увидеть, что она хранит, или запишите ещё раз.")
        << 22;
  }
  void aWriteThatIsNotReadBackTheSameSaysWhichFieldAndBothValues() {
    QFETCH(QStringList, simArgs);
    QFETCH(QString, said);
    QFETCH(int, sent);
    std::vector<std::string> args;
    for (const QString& arg : simArgs) args.push_back(arg.toStdString());
    Bench bench(args);
    bench.window.Control<TKeysPage>("TMGB")->SetEntry(1, "2", "2222222222222222");

    bench.window->Button2Click();

    QCOMPARE(CommandsFrom(bench.sim.ReceivedCommands(), kReadCommands.size()).size(), sent);
    QCOMPARE(bench.prompter.Texts(Prompt::kInform), QStringList());
    QCOMPARE(bench.prompter.Texts(Prompt::kError),
             QStringList{QString::fromUtf8(kWriteFailed) + said});
  }

  // The issue of the one click that wrote made-up values: after No, or after a
  // read that failed, a write first names what it would write.
  void valuesNotReadFromThisPanelAreWrittenOnlyAfterAQuestion_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<bool>("readAtStart");
    QTest::newRow("start-up question answered No") << QStringList{} << false;
    // The scan goes on and asks again about COM2, which is answered No.
    QTest::newRow("start-up read failed") << QStringList{"--silent-on", "+T03"} << true;
  }
  void valuesNotReadFromThisPanelAreWrittenOnlyAfterAQuestion() {
    QFETCH(QStringList, simArgs);
    QFETCH(bool, readAtStart);
    std::vector<std::string> args;
    for (const QString& arg : simArgs) args.push_back(arg.toStdString());
    Bench bench(args, readAtStart);
    const size_t before = bench.sim.ReceivedCommands().size();
    const qsizetype asked = bench.prompter.Texts(Prompt::kQuestion).size();
    bench.prompter.AnswerNext(false);

    bench.window->Button2Click();

    QCOMPARE(bench.sim.ReceivedCommands().size(), before);  // nothing sent
    const QStringList questions = bench.prompter.Texts(Prompt::kQuestion);
    QCOMPARE(questions.size(), asked + 1);
    QStringList expected{
        QString::fromUtf8("Эти значения не прочитаны из охранной панели на порту COM2:")};
    for (int slot = 1; slot <= 4; ++slot)
      expected << QString::fromUtf8("Ключ %1: 7777777777777777 (не прочитан из панели)").arg(slot);
    for (const char* caption : {"Размыкание шлейфа 1", "Замыкание шлейфа 1", "Размыкание шлейфа 2",
                                "Замыкание шлейфа 2", "Снятие с охраны", "Постановка на охрану"})
      expected << QString::fromUtf8("Номер %1 (%2): нет номера, «Дозвон» да, «24 часа» да")
                      .arg(expected.size() - 4)
                      .arg(QString::fromUtf8(caption));
    expected << QString() << QString::fromUtf8("Записать их в охранную панель \"Orvex GSM\"?");
    QCOMPARE(questions.back().split('\n'), expected);
    QCOMPARE(bench.prompter.Texts(Prompt::kInform), QStringList());
    QCOMPARE(bench.prompter.Texts(Prompt::kError).size(), readAtStart ? 1 : 0);
  }

  void placeholdersWrittenOnYesAreThePanelsAndAreNotAskedAboutAgain() {
    Bench bench({}, false);
    bench.prompter.AnswerNext(true);

    bench.window->Button2Click();

    const auto sent = CommandsFrom(bench.sim.ReceivedCommands(), 1);
    QCOMPARE(sent.size(), 22);
    QCOMPARE(sent.front(), QString("+T017777777777777777"));
    QCOMPARE(bench.prompter.Texts(Prompt::kInform).size(), 1);
    QCOMPARE(KeyEntries(*bench.window).front(), QString("1=7777777777777777"));
    QVERIFY(!Control<TKeyGrid>(*bench.window, "TouchSTR")->IsPlaceholder(0));

    bench.window->Button2Click();

    QCOMPARE(bench.prompter.Texts(Prompt::kQuestion).size(), 2);  // start-up and the first write
    QCOMPARE(bench.prompter.Texts(Prompt::kInform).size(), 2);
  }

  void writeWithThePortClosedSaysNothingWasSent() {
    ScriptedPrompter prompter;
    PortMapScript ports;
    WindowUnderTest window;
    window->FormCreate();  // finds nothing: the port is closed, named as the box shows it

    window->Button2Click();

    QCOMPARE(prompter.Texts(Prompt::kError),
             QStringList{QString::fromUtf8(kWriteFailed) +
                         QString::fromUtf8("Порт COM2 не открыт: охранной панели ничего не "
                                           "отправлено. Щёлкните «Связь с охранной панелью», "
                                           "чтобы найти панель")});
    QCOMPARE(prompter.Texts(Prompt::kQuestion), QStringList());
    QCOMPARE(window->findChild<TfWait*>(), nullptr);
  }

  void writeOfAShortKeyListSendsNothingAndSaysWhy() {
    Bench bench({}, false);
    bench.window.Control<TKeysPage>("TMGB")->Clear();
    bench.window.Control<TKeysPage>("TMGB")->Append("1", "1111111111111111");
    bench.window.Control<TKeysPage>("TMGB")->Append("2", "2222222222222222");

    bench.window->Button2Click();

    QCOMPARE(CommandsFrom(bench.sim.ReceivedCommands(), 1), QStringList());
    QCOMPARE(bench.prompter.Texts(Prompt::kError),
             QStringList{QString::fromUtf8(kWriteFailed) +
                         QString::fromUtf8("В списке ключей не четыре строки: прочитайте "
                                           "настройки из охранной панели, чтобы список "
                                           "заполнился")});
  }

  // Keys and numbers of a panel are shown only when every reply was taken:
  // otherwise both pages keep what they held, and a box says why.
  void aReadThatFailsLeavesBothPagesAsTheyWereAndSaysWhy_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("said");
    QTest::newRow("a broken flags reply")
        << QStringList{"--bad-hex", "--match", "+s"}
        << QString::fromUtf8(
               "Не удалось прочитать флаги «Дозвон» и «24 часа»: ответ охранной "
               "панели искажён");
    QTest::newRow("every key answered as a number")
        << QStringList{"--answer-as", "+T0:+H05"}
        << QString::fromUtf8("Не удалось прочитать ключ 1: ответ охранной панели искажён");
    QTest::newRow("a late copy of key 3")
        << QStringList{"--twice", "+T03:120"}
        << QString::fromUtf8("Не удалось прочитать ключ ");  // 3 or 4: when the copy came
    QTest::newRow("key 2 refused")
        << QStringList{"--error-on", "+T02"}
        << QString::fromUtf8("Не удалось прочитать ключ 2: охранная панель отказала.");
    QTest::newRow("a flood before each answer")
        << QStringList{"--long"}
        << QString::fromUtf8("Не удалось прочитать ключ 1: ответ охранной панели искажён");
    QTest::newRow("the line lost") << QStringList{"--hangup-mid", "+H01"} << QString();
  }
  void aReadThatFailsLeavesBothPagesAsTheyWereAndSaysWhy() {
    QFETCH(QStringList, simArgs);
    QFETCH(QString, said);
    std::vector<std::string> args;
    for (const QString& arg : simArgs) args.push_back(arg.toStdString());
    Bench bench(args, false);
    TfOrvex& window = *bench.window;
    const QStringList placeholders = KeyEntries(window);
    QCOMPARE(placeholders.size(), 4);
    NumE(window, 1)->setText("112");
    Call(window, 2)->setChecked(false);
    bench.prompter.AnswerNext(true);

    window.Button1Click();

    QCOMPARE(KeyEntries(window), placeholders);
    QCOMPARE(NumE(window, 1)->text(), QString("112"));
    QCOMPARE(Ticks(window, true), QString("101111"));
    QVERIFY(!Control<QCheckBox>(window, "xCon")->isChecked());
    const QStringList errors = bench.prompter.Texts(Prompt::kError);
    QCOMPARE(errors.size(), 1);
    const QString head =
        QString::fromUtf8("Ошибка чтения из охранной панели \"Orvex GSM\":\n\r\n\r");
    QVERIFY2(errors.front().startsWith(head + said), qPrintable(errors.front()));
    // The box speaks of fields, not of commands or the bytes that came.
    QVERIFY2(!errors.front().contains("+T0") && !errors.front().contains("+H0") &&
                 !errors.front().contains("\\r"),
             qPrintable(errors.front()));
    QCOMPARE(window.findChild<TfWait*>(), nullptr);
  }
};

QTEST_MAIN(WholePanelTest)
#include "whole_panel_test.moc"
