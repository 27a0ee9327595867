// The Touch Memory keys page: the key list with its title row, "Читать ключ"
// and the list errors that reach the default error display.

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/key_grid.h"
#include "app/keys_page.h"
#include "app/wait_window.h"
#include "app/window_metrics.h"
#include "fakes/sim_process.h"
#include "gui_test_support.h"
#include "panel/panel_errors.h"

using namespace orvex_test;

namespace {

const char* const kPresented = "0123456789ABCDEF";  // panel order
const QString kPresentedShown("EFCDAB8967452301");  // as the list shows it
const QString kSevens("7777777777777777");

QStringList Entries(TKeyGrid* grid) {
  QStringList entries;
  for (int i = 0; i < grid->EntryCount(); ++i) {
    entries << grid->EntryName(i) + "=" + grid->EntryValue(i);
  }
  return entries;
}

// The simulator on COM2 with a key at its reader; the window after a
// start-up that declined the read, so the list holds four placeholders.
struct Bench {
  explicit Bench(std::vector<std::string> simArgs = {"--present", kPresented})
      : sim(std::move(simArgs)), ports({{"COM2", sim.SlavePath()}}) {
    window->FormCreate();
    window->show();
    grid = window.Control<TKeyGrid>("TouchSTR");
    seen = sim.ReceivedCommands().size();
  }
  QStringList NewCommands() { return CommandsFrom(sim.ReceivedCommands(), seen); }

  SimProcess sim;
  ScriptedPrompter prompter;
  PortMapScript ports;
  WindowUnderTest window;
  TKeyGrid* grid = nullptr;
  size_t seen = 0;
};

}  // namespace

class KeysPageTest : public QObject {
  Q_OBJECT

 private slots:
  void readKeyOnTheTitleRowSendsNothing() {
    Bench bench;
    bench.window.Control<QLineEdit>("e1")->setText("kept");
    bench.grid->setCurrentCell(0, 1);

    QTest::mouseClick(bench.window.Control<QPushButton>("Button3"), Qt::LeftButton);

    QVERIFY(bench.NewCommands().isEmpty());
    QCOMPARE(bench.window.Control<QLineEdit>("e1")->text(), QString("kept"));
    QCOMPARE(Entries(bench.grid),
             (QStringList{"1=" + kSevens, "2=" + kSevens, "3=" + kSevens, "4=" + kSevens}));
  }

  void readKeyPutsThePresentedKeyIntoTheSelectedRowOnly() {
    Bench bench;
    bench.grid->setCurrentCell(3, 0);

    QTest::mouseClick(bench.window.Control<QPushButton>("Button3"), Qt::LeftButton);

    QCOMPARE(bench.NewCommands(), QStringList{"+T00"});
    QCOMPARE(bench.window.Control<QLineEdit>("e1")->text(), kPresentedShown);
    QCOMPARE(Entries(bench.grid),
             (QStringList{"1=" + kSevens, "2=" + kSevens, "3=" + kPresentedShown, "4=" + kSevens}));
    QCOMPARE(bench.prompter.prompts.size(), size_t{1});  // the start-up question only
  }

  void readKeyWithAnEmptyListFillsTheFieldAndReportsTheMissingRow() {
    SimProcess sim({"--present", kPresented});
    ScriptedPrompter prompter;
    PortMapScript ports({{"COM2", sim.SlavePath()}});
    WindowUnderTest window;
    window->OpenPort();
    TKeyGrid* grid = window.Control<TKeyGrid>("TouchSTR");
    QCOMPARE(grid->SelectedRow(), 1);  // the one empty row

    window.Control<TKeysPage>("TMGB")->Button3Click();

    QCOMPARE(window.Control<QLineEdit>("e1")->text(), kPresentedShown);
    QCOMPARE(prompter.Texts(Prompt::kDefaultError),
             QStringList{QString::fromUtf8(
                 "Ключ прочитан в поле над списком, но в списке ключей нет строки 1: прочитайте "
                 "настройки из охранной панели, чтобы список заполнился.")});
    QCOMPARE(grid->EntryCount(), 0);
    QCOMPARE(grid->rowCount(), 2);
  }

  // Only one key of 16 digits is taken, as the tool's read-key takes it;
  // anything else leaves the field and the row as they were and says why in
  // the window's words.
  void readKeyTakesOnlyAKeyAndSaysInRussianWhyNot_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("said");
    QTest::newRow("no key presented")
        << QStringList{"--reader-wait", "0"}
        << QString::fromUtf8(
               "К считывателю охранной панели не приложен ключ: за 5 секунд панель не прочитала "
               "ни одного. Приложите ключ к считывателю и нажмите «Читать ключ» ещё раз.");
    QTest::newRow("answered with the flags")
        << QStringList{"--answer-as", "+T00:+s"}
        << QString::fromUtf8(
               "Ответ охранной панели на «Читать ключ» не похож на ключ (16 "
               "шестнадцатеричных цифр): ключ не прочитан, список не изменён. "
               "Приложите ключ к считывателю и нажмите «Читать ключ» ещё раз.");
    QTest::newRow("answered twice") << QStringList{"--present", kPresented, "--twice", "+T00"}
                                    << QString::fromUtf8(
                                           "Ответ охранной панели на «Читать ключ» "
                                           "не похож на ключ");
  }
  void readKeyTakesOnlyAKeyAndSaysInRussianWhyNot() {
    QFETCH(QStringList, simArgs);
    QFETCH(QString, said);
    std::vector<std::string> args;
    for (const QString& arg : simArgs) args.push_back(arg.toStdString());
    Bench bench(args);
    bench.window.Control<QLineEdit>("e1")->setText("kept");
    bench.grid->setCurrentCell(2, 1);

    bench.window.Control<TKeysPage>("TMGB")->Button3Click();

    QCOMPARE(bench.window.Control<QLineEdit>("e1")->text(), QString("kept"));
    QCOMPARE(Entries(bench.grid),
             (QStringList{"1=" + kSevens, "2=" + kSevens, "3=" + kSevens, "4=" + kSevens}));
    const QStringList shown = bench.prompter.Texts(Prompt::kDefaultError);
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.front().startsWith(said), qPrintable(shown.front()));
  }

  void readKeyShowsTheWaitWindowWhileThePanelWaitsForAKey() {
    Bench bench({"--reader-wait", "600"});
    bench.grid->setCurrentCell(1, 1);
    int waits = 0;
    int shown = 0;
    bench.window->Comm1().SetIdleHook([&] {
      ++waits;
      if (auto* wait = bench.window->findChild<TfWait*>(); wait && wait->isVisible()) ++shown;
    });

    bench.window.Control<TKeysPage>("TMGB")->Button3Click();

    QVERIFY(waits > 3);
    QCOMPARE(shown, waits);
    QCOMPARE(bench.window->findChild<TfWait*>(), nullptr);
  }

  void aClosedPortSendsNothingAndSaysSo() {
    ScriptedPrompter prompter;
    PortMapScript ports;
    WindowUnderTest window;
    window.Control<TKeysPage>("TMGB")->AppendPlaceholder("1", "7777777777777777");

    window.Control<TKeysPage>("TMGB")->Button3Click();

    QCOMPARE(prompter.Texts(Prompt::kDefaultError),
             QStringList{QString::fromUtf8("Порт COM1 не открыт: охранной панели ничего не "
                                           "отправлено. Щёлкните «Связь с охранной панелью», "
                                           "чтобы найти панель.")});
    QVERIFY(ports.LookedUp().empty());
  }

  void placeholderKeysAreShownAsNotReadAndKeepTheirValue() {
    Bench bench;
    for (int row = 1; row <= 4; ++row) {
      QVERIFY(bench.grid->item(row, 1)->text().contains(QString::fromUtf8("не прочитан")));
      QVERIFY(bench.grid->IsPlaceholder(row - 1));
    }
    QCOMPARE(bench.window.Control<TKeysPage>("TMGB")->Value(0), kSevens.toStdString());

    // A key read from the reader is no placeholder.
    bench.grid->setCurrentCell(2, 1);
    bench.window.Control<TKeysPage>("TMGB")->Button3Click();
    QCOMPARE(bench.grid->item(2, 1)->text(), kPresentedShown);
    QVERIFY(!bench.grid->IsPlaceholder(1));
    QVERIFY(bench.grid->IsPlaceholder(0));
  }

  void aWholePanelReadReplacesThePlaceholders() {
    Bench bench;
    bench.prompter.AnswerNext(true);

    bench.window->Button1Click();

    QCOMPARE(Entries(bench.grid), (QStringList{"1=0000000000000000", "2=0000000000000000",
                                               "3=0000000000000000", "4=0000000000000000"}));
  }

  void theGridShowsATitleRowAndOneEmptyRowAndCannotBeEdited() {
    ScriptedPrompter prompter;
    WindowUnderTest window;
    window->show();
    TKeyGrid* grid = window.Control<TKeyGrid>("TouchSTR");

    QCOMPARE(grid->rowCount(), 2);
    QCOMPARE(grid->item(0, 0)->text(), QString("Номер"));
    QCOMPARE(grid->item(0, 1)->text(), QString("Ключ"));
    QCOMPARE(grid->columnWidth(0), Dip(49));
    QCOMPARE(grid->columnWidth(1), Dip(294));
    QCOMPARE(grid->SelectedRow(), 1);
    grid->setCurrentCell(1, 1);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {},
                       grid->visualRect(grid->currentIndex()).center());
    QTest::keyClick(grid, Qt::Key_F2);
    QTest::keyClicks(grid, "123");
    QVERIFY(grid->viewport()->findChildren<QLineEdit*>().isEmpty());  // no cell editor
    QCOMPARE(grid->item(1, 1)->text(), QString());
  }

  void draggingAColumnEdgeInTheTitleRowResizesTheColumn() {
    ScriptedPrompter prompter;
    WindowUnderTest window;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(&*window));
    TKeyGrid* grid = window.Control<TKeyGrid>("TouchSTR");
    const int titleMiddle = grid->rowViewportPosition(0) + grid->rowHeight(0) / 2;
    const QPoint edge(grid->columnWidth(0), titleMiddle);

    QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, edge);
    QTest::mouseMove(grid->viewport(), edge + QPoint(40, 0));
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, edge + QPoint(40, 0));

    QCOMPARE(grid->columnWidth(0), Dip(49) + 40);
    QCOMPARE(grid->SelectedRow(), 1);  // the drag selected nothing
  }

  void clearingMovesASelectionBelowTheEmptyRowUpToIt() {
    ScriptedPrompter prompter;
    WindowUnderTest window;
    TKeysPage* page = window.Control<TKeysPage>("TMGB");
    for (const char* slot : {"1", "2", "3", "4"}) page->Append(slot, "0000000000000000");
    Control<TKeyGrid>(*page, "TouchSTR")->setCurrentCell(4, 0);

    page->Clear();

    QCOMPARE(page->SelectedRow(), 1);
    QCOMPARE(Control<TKeyGrid>(*page, "TouchSTR")->rowCount(), 2);
  }

  void missingRowsRaiseTheListError_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("setting");
    QTest::newRow("value below the list") << -1 << false;
    QTest::newRow("value past the list") << 2 << false;
    QTest::newRow("entry past the list") << 5 << true;
  }
  void missingRowsRaiseTheListError() {
    QFETCH(int, index);
    QFETCH(bool, setting);
    ScriptedPrompter prompter;
    WindowUnderTest window;
    TKeysPage* page = window.Control<TKeysPage>("TMGB");
    page->Append("1", "A");
    page->Append("2", "B");
    const QString expected = QString("List index out of bounds (%1)").arg(index);
    try {
      if (setting) {
        page->SetEntry(index, "x", "y");
      } else {
        page->Value(index);
      }
      QFAIL("no error");
    } catch (const EListError& error) {
      QCOMPARE(QString::fromUtf8(error.what()), expected);
    }
    QCOMPARE(Entries(Control<TKeyGrid>(*page, "TouchSTR")), (QStringList{"1=A", "2=B"}));
  }

  void everyByteOfAKeyComesBackUnchanged() {
    ScriptedPrompter prompter;
    WindowUnderTest window;
    std::string bytes;
    for (int code = 1; code < 256; ++code) bytes += static_cast<char>(code);

    window.Control<TKeysPage>("TMGB")->Append("1", bytes);
    window.Control<TKeysPage>("TMGB")->SetReaderKey(bytes);

    QVERIFY(window.Control<TKeysPage>("TMGB")->Value(0) == bytes);
    QVERIFY(window.Control<TKeysPage>("TMGB")->ReaderKey() == bytes);
  }
};

QTEST_MAIN(KeysPageTest)
#include "keys_page_test.moc"
