// The panel copied to a settings file and back from the window: the backup,
// the restore with its read-back, the comparison, and what the user is told
// when a file or the panel cannot be taken. The files are the tool's: the
// tool reads what the window saves, and the reverse.

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

#include "app/key_grid.h"
#include "app/wait_window.h"
#include "fakes/pty_pair.h"
#include "fakes/sim_process.h"
#include "gui_test_support.h"
#include "integration/cli_run.h"
#include "panel/encodings.h"
#include "panel/settings_file.h"

using namespace orvex_test;

namespace {

// Number 3 is held although event 3 does not dial: the window's own read
// leaves it out, a backup keeps it.
std::map<std::string, std::string> PanelMemory() {
  return {{"key1", "0123456789ABCDEF"},
          {"key2", "1111111111111111"},
          {"key3", "FEDCBA9876543210"},
          {"dial", "0B"},
          {"h24", "05"},
          {"number1", EncodeNumber("+79121234567")},
          {"number3", EncodeNumber("112")}};
}

std::string Contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

void Save(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A simulator holding PanelMemory() on COM2, and the window after a start-up
// whose question was answered No.
struct Bench {
  explicit Bench(std::vector<std::string> simArgs = {})
      : sim(WithState(std::move(simArgs))), ports({{"COM2", sim.SlavePath()}}) {
    window->FormCreate();
    started = sim.ReceivedCommands().size();
  }
  std::vector<std::string> WithState(std::vector<std::string> args) {
    WriteSimState(files.File("state"), PanelMemory());
    args.insert(args.begin(), {"--state", files.File("state")});
    return args;
  }
  QStringList CommandsSinceStart() const { return CommandsFrom(sim.ReceivedCommands(), started); }

  TempDir files;
  SimProcess sim;
  ScriptedPrompter prompter;
  PortMapScript ports;
  WindowUnderTest window;
  size_t started = 0;
};

QString Quoted(const std::string& path) {
  return QString::fromUtf8("«%1»").arg(QString::fromStdString(path));
}

}  // namespace

class PanelFileTest : public QObject {
  Q_OBJECT

 private slots:
  void aBackupKeepsEveryNumberAndTheToolAndTheWindowTakeEachOthersFiles() {
    Bench bench;
    SimProcess other;  // a second panel, for the tool
    const std::string saved = bench.files.File("window.txt");
    const std::string toolSaved = bench.files.File("tool.txt");
    bench.prompter.ChooseFile(QString::fromStdString(saved));

    bench.window->BackupBClick();

    QCOMPARE(
        bench.prompter.Texts(Prompt::kInform),
        QStringList{QString::fromUtf8("Копия охранной панели с порта COM2 сохранена в файл\n%1.")
                        .arg(Quoted(saved))});
    const std::string text = Contents(saved);
    QVERIFY2(
        text.starts_with("# orvex-gsm " ORVEX_VERSION ", the \"Orvex GSM\" panel\n# port: COM2\n"
                         "# read: "),
        text.c_str());
    const PanelImage image = ParseSettingsFile(text);
    QCOMPARE(NumberFileText(image.numbers[2]), std::string("112"));
    QCOMPARE(image.dial, uint8_t{0x0B});
    // The pages show what was saved, the number of the event that does not
    // dial too.
    QCOMPARE(NumE(*bench.window, 3)->text(), QString("112"));
    QVERIFY(!Call(*bench.window, 3)->isChecked());
    QCOMPARE(bench.window.Control<TKeyGrid>("TouchSTR")->EntryValue(1),
             QString("1111111111111111"));
    QCOMPARE(bench.window->findChild<TfWait*>(), nullptr);

    // The tool writes the window's file to the other panel, exactly, and
    // saves that panel in a file of its own.
    const CliRun written = Cli({"--port", other.SlavePath(), "write", saved});
    QVERIFY2(written.code == 0, written.err.c_str());
    const CliRun read = Cli({"--port", other.SlavePath(), "read", "-o", toolSaved});
    QVERIFY2(read.code == 0, read.err.c_str());
    QCOMPARE(Body(Contents(toolSaved)), Body(text));

    // The window compares the tool's file with the first panel, and writes
    // it there.
    bench.prompter.ChooseFile(QString::fromStdString(toolSaved));
    bench.window->CompareBClick();
    bench.prompter.ChooseFile(QString::fromStdString(toolSaved));
    bench.window->RestoreBClick();

    QCOMPARE(bench.prompter.Texts(Prompt::kWarn), QStringList());
    QCOMPARE(
        bench.prompter.Texts(Prompt::kInform).mid(1),
        (QStringList{QString::fromUtf8("Охранная панель на порту COM2 хранит то же, что файл %1.")
                         .arg(Quoted(toolSaved)),
                     QString::fromUtf8("Файл %1 записан в охранную панель на порту COM2 и "
                                       "прочитан обратно: панель хранит то же, что файл.")
                         .arg(Quoted(toolSaved))}));
  }

  // One panel copied by the window and by the tool: the same header, the same
  // lines and line ends, only the moment of the read differs.
  void aCopyByTheWindowAndOneByTheToolDifferOnlyInTheirTimeStamp() {
    Bench bench;
    const std::string windowCopy = bench.files.File("window.txt");
    bench.prompter.ChooseFile(QString::fromStdString(windowCopy));
    bench.window->BackupBClick();
    bench.window->Comm1().CloseDevice();  // the tool takes the port next
    const std::string toolCopy = bench.files.File("tool.txt");
    const CliRun read = Cli({"--port", "COM2", "read", "-o", toolCopy});
    QVERIFY2(read.code == 0, read.err.c_str());

    // The stamp's line kept as its form alone: digits, and where they stand.
    const auto stampForm = [](std::string text) {
      const size_t at = text.find("# read: ");
      if (at == std::string::npos) return std::string("no time stamp");
      for (size_t i = at; i < text.size() && text[i] != '\n'; ++i)
        if (text[i] >= '0' && text[i] <= '9') text[i] = 'd';
      return text;
    };
    QCOMPARE(stampForm(Contents(toolCopy)), stampForm(Contents(windowCopy)));
  }

  void aRestoreNamesEachFieldThePanelDidNotTakeWithBothValues() {
    // Key 2 written is carried out as a read of key 1: a read's answer is no
    // write's confirmation, and the read-back shows what the panel kept.
    Bench bench({"--answer-as", "+T02A:+T01"});
    const std::string file = bench.files.File("site.txt");
    PanelImage wanted = ParseSettingsFile(kSettings);
    wanted.keys[1] = "AAAAAAAAAAAAAAAA";
    Save(file, FormatSettingsFile(wanted));
    bench.prompter.ChooseFile(QString::fromStdString(file));

    bench.window->RestoreBClick();

    QCOMPARE(bench.prompter.Texts(Prompt::kWarn),
             QStringList{QString::fromUtf8("Охранная панель на порту COM2 не подтвердила запись:\n"
                                           "Ключ 2: ответ охранной панели искажён или относится "
                                           "к другому запросу.\n"
                                           "Прочитанная обратно панель отличается от файла %1:\n"
                                           "Ключ 2: в файле «AAAAAAAAAAAAAAAA», в панели "
                                           "«1111111111111111»")
                             .arg(Quoted(file))});
    // Written whole, then read back whole.
    const QStringList sent = bench.CommandsSinceStart();
    QCOMPARE(sent.size(), 1 + 11 + 11);
    QVERIFY(sent[1].startsWith("+T01") && sent[11].startsWith("+H06"));
    // The pages show what the panel holds.
    QCOMPARE(bench.window.Control<TKeyGrid>("TouchSTR")->EntryValue(1),
             QString("1111111111111111"));
    QCOMPARE(NumE(*bench.window, 6)->text(), QString("0123456789012345"));
  }

  void aComparisonListsTheDifferingFieldsByTheirRussianNamesAndWritesNothing() {
    Bench bench;
    const std::string file = bench.files.File("site.txt");
    PanelImage wanted = ParseSettingsFile(kSettings);
    Save(file, FormatSettingsFile(wanted));
    bench.prompter.ChooseFile(QString::fromStdString(file));

    bench.window->CompareBClick();

    QCOMPARE(bench.prompter.Texts(Prompt::kWarn),
             QStringList{QString::fromUtf8(
                             "Охранная панель на порту COM2 отличается от файла %1:\n"
                             "Ключ 1: в файле «0123456789ABCDEF», в панели «EFCDAB8967452301»\n"
                             "Ключ 3: в файле «00000000000000A5», в панели «1032547698BADCFE»\n"
                             "Ключ 4: в файле «FFFFFFFFFFFFFFFF», в панели «0000000000000000»\n"
                             "Номер 1 (Размыкание шлейфа 1): в файле «+79161234567», в панели "
                             "«+79121234567»\n"
                             "Номер 2 (Замыкание шлейфа 1): в файле «112», в панели нет номера\n"
                             "Номер 3 (Размыкание шлейфа 2): в файле нет номера, в панели «112»\n"
                             "Номер 4 (Замыкание шлейфа 2): в файле "
                             "«hex:3839002A000000000000000000000000», в панели нет номера\n"
                             "Номер 5 (Снятие с охраны): в файле «+7», в панели нет номера\n"
                             "Номер 6 (Постановка на охрану): в файле «0123456789012345», в панели "
                             "нет номера\n"
                             "Дозвон 6 (Постановка на охрану): в файле да, в панели нет\n"
                             "24 часа 1 (Размыкание шлейфа 1): в файле нет, в панели да\n"
                             "24 часа 2 (Замыкание шлейфа 1): в файле да, в панели нет\n"
                             "24 часа 3 (Размыкание шлейфа 2): в файле нет, в панели да\n"
                             "24 часа 5 (Снятие с охраны): в файле да, в панели нет")
                             .arg(Quoted(file))});
    for (const QString& command : bench.CommandsSinceStart())
      QVERIFY2(command.size() <= 4, qPrintable(command));  // reads only
  }

  // Why a file is refused is said in the window's words: the field as the
  // pages name it, never the tool's commands, nor the file's bytes. The tool
  // refuses the very same files (one verdict for both programs).
  void aFileThatIsNoSettingsFileIsRefusedInRussianBeforeAnythingIsSent_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a short key") << QByteArray("# site 12\nkey1=0123456789ABCDEF\nkey2=12345\n")
                                 << QString::fromUtf8(
                                        "строка 3: Ключ 2 (key2): нужно 16 шестнадцатеричных "
                                        "цифр, а в файле «12345»");
    QByteArray missing = QByteArray::fromStdString(kSettings);
    missing.replace("key3=00000000000000a5\n", "");
    missing.replace("day6=0\n", "");
    QTest::newRow("fields missing")
        << missing
        << QString::fromUtf8(
               "в файле нет полей key3, day6: файл настроек называет все 22 поля, "
               "как их записывает «Сохранить копию панели в файл…»");
    QByteArray binary("\x89PNG\r\n\x1a\n");
    binary += QByteArray(300, '\0');
    QTest::newRow("a picture") << binary
                               << QString::fromUtf8(
                                      "это не файл настроек: в нём двоичные данные, а не текст");
    const QString plainText = QString::fromUtf8(
        ": сохраните его как текст в UTF-8 или ASCII с концами строк LF или CR LF");
    QTest::newRow("UTF-16") << QByteArray("\xFF\xFEk\0e\0y\0001\0=\0", 12)
                            << QString::fromUtf8("файл в кодировке UTF-16") + plainText;
    QTest::newRow("CR-only line ends")
        << QByteArray(kSettings).replace('\n', '\r')
        << QString::fromUtf8("строки файла кончаются одним CR") + plainText;
    QTest::newRow("the window's settings store")
        << QByteArray("REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM]\n")
        << QString::fromUtf8(
               "это файл настроек окна, а не копия охранной панели: копию делает «Сохранить "
               "копию панели в файл…»");
    QTest::newRow("a flag of 2") << QByteArray(kSettings).replace("dial3=0", "dial3=2")
                                 << QString::fromUtf8(
                                        "строка 14: Дозвон 3 (Размыкание шлейфа 2) (dial3): нужно "
                                        "0 или 1, а в файле «2»");
  }
  void aFileThatIsNoSettingsFileIsRefusedInRussianBeforeAnythingIsSent() {
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    Bench bench;
    const std::string file = bench.files.File("broken.txt");
    Save(file, content.toStdString());
    bench.prompter.ChooseFile(QString::fromStdString(file));
    bench.prompter.ChooseFile(QString::fromStdString(file));

    bench.window->RestoreBClick();
    bench.window->CompareBClick();

    QCOMPARE(bench.prompter.Texts(Prompt::kWarn),
             (QStringList{QString::fromUtf8("Файл %1 не принят, в охранную панель ничего не "
                                            "записано:\n")
                                  .arg(Quoted(file)) +
                              reason,
                          QString::fromUtf8("Файл %1 не принят:\n").arg(Quoted(file)) + reason}));
    QCOMPARE(bench.CommandsSinceStart(), QStringList());
    // The tool's verdict on the same file: refused before any port is opened.
    const orvex_test::CliRun run = orvex_test::Cli({"--port", "/nonexistent", "diff", file});
    QVERIFY2(run.code == kExitUsage, qPrintable(QString::fromStdString(run.err)));
  }

  void aFolderOrAPipeIsNoSettingsFile() {
    Bench bench;
    // A folder, or a pipe that would block the reading, is no settings file.
    const std::string pipe = bench.files.File("pipe");
    QCOMPARE(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& path : {bench.files.path(), pipe}) {
      bench.prompter.ChooseFile(QString::fromStdString(path));
      bench.window->CompareBClick();
      QVERIFY(bench.prompter.Texts(Prompt::kWarn)
                  .back()
                  .endsWith(QString::fromUtf8("это не файл настроек, а папка или устройство")));
    }
    QCOMPARE(bench.CommandsSinceStart(), QStringList());
  }

  void aBackupThatCannotReadThePanelSaysWhyAndSavesNothing_data() {
    QTest::addColumn<QStringList>("simArgs");  // empty: no simulator
    QTest::addColumn<bool>("withSim");
    QTest::addColumn<QString>("cause");
    QTest::newRow("no such port") << QStringList() << false
                                  << QString::fromUtf8(
                                         "COM2 (/nonexistent/orvex-gui-test/COM2): такого порта "
                                         "нет (No such file or directory).");
    QTest::newRow("refused reply")
        << QStringList{"--bad-hex", "--match", "+s"} << true
        << QString::fromUtf8(
               "Не удалось прочитать флаги «Дозвон» и «24 часа»: ответ охранной панели искажён "
               "или относится к другому запросу");
    // A copy of number5's answer where number6's belongs, number6's own
    // answer late inside its budget: once saved as number5's value twice.
    QTest::newRow("answer late inside its budget")
        << QStringList{"--twice", "+H05:140", "--late", "+H06:150"} << true
        << QString::fromUtf8(
               "Не удалось прочитать ключ 1: охранная панель ответила больше "
               "раз, чем её спросили (лишний ответ похож на ответ на «номер 6");
    QTest::newRow("line lost") << QStringList{"--hangup-mid", "+H03"} << true
                               << QString::fromUtf8("Связь через порт COM2 прервалась");
  }
  void aBackupThatCannotReadThePanelSaysWhyAndSavesNothing() {
    QFETCH(QStringList, simArgs);
    QFETCH(bool, withSim);
    QFETCH(QString, cause);
    std::vector<std::string> args;
    for (const QString& arg : simArgs) args.push_back(arg.toStdString());
    std::unique_ptr<SimProcess> sim;
    if (withSim) sim = std::make_unique<SimProcess>(args);
    ScriptedPrompter prompter;
    PortMapScript ports;
    if (sim) ports.Map("COM2", sim->SlavePath());
    WindowUnderTest window;
    prompter.ChooseFile(QStringLiteral("/nonexistent/never-asked.txt"));

    window->BackupBClick();

    const QStringList warnings = prompter.Texts(Prompt::kWarn);
    QCOMPARE(warnings.size(), 1);
    QVERIFY2(
        warnings[0].startsWith(QString::fromUtf8("Копия охранной панели не сохранена:\n") + cause),
        qPrintable(warnings[0]));
    QCOMPARE(prompter.Texts(Prompt::kSaveFile), QStringList());
    QCOMPARE(window->findChild<TfWait*>(), nullptr);
  }

  void ctrlSBacksUpAndCtrlOWritesFromAFile() {
    ScriptedPrompter prompter;
    PortMapScript ports;
    WindowUnderTest window;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(&*window));

    QTest::keyClick(&*window, Qt::Key_S, Qt::ControlModifier);
    QTRY_COMPARE(prompter.Texts(Prompt::kWarn).size(), 1);
    QTest::keyClick(&*window, Qt::Key_O, Qt::ControlModifier);
    QTRY_COMPARE(prompter.Texts(Prompt::kOpenFile),
                 QStringList{QString::fromUtf8("Записать в панель из файла")});
  }
};

QTEST_MAIN(PanelFileTest)
#include "panel_file_test.moc"
