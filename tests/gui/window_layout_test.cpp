// The windows as laid out: every control under its name with its caption,
// the top strip's places, the tab order, pages filling the page area, and
// the wait window's frame and animation.

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTreeWidget>

#include "app/connection_box.h"
#include "app/copy_animation.h"
#include "app/keys_page.h"
#include "app/numbers_page.h"
#include "app/wait_window.h"
#include "app/window_metrics.h"
#include "gui_test_support.h"

using namespace orvex_test;

namespace {

QString Caption(QWidget* widget) {
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* group = qobject_cast<QGroupBox*>(widget)) return group->title();
  return {};
}

}  // namespace

class WindowLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void everyControlIsThereUnderItsNameWithItsCaption_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("caption");
    const auto row = [](const char* name, const char* kind, const char* caption) {
      QTest::newRow(name) << QString(name) << QString(kind) << QString::fromUtf8(caption);
    };
    row("Panel1", "QFrame", "");
    row("cb1", "QComboBox", "");
    row("xCon", "QCheckBox", "Связь с охранной панелью");
    row("Button1", "QPushButton", "Прочитать настройки из \"Orvex GSM\"");
    row("Button2", "QPushButton", "Записать настройки в \"Orvex GSM\"");
    row("FileGB", "QGroupBox", "Копия панели в файле");
    row("BackupB", "QPushButton", "Сохранить копию панели в файл…");
    row("RestoreB", "QPushButton", "Записать в панель из файла…");
    row("CompareB", "QPushButton", "Сравнить панель с файлом…");
    row("SettingsGB", "QGroupBox", "Настройки");
    row("SettingsTV", "QTreeWidget", "");
    row("Panel3", "QFrame", "");
    row("TMGB", "QGroupBox", "Ключи Touch Memory");
    row("Panel2", "QFrame", "");
    row("e1", "QLineEdit", "");
    row("Button3", "QPushButton", "Читать ключ");
    row("TouchSTR", "QTableWidget", "");
    row("NumbersGB", "QGroupBox", "Номера дозвона");
    row("Label1", "QLabel", "Событие");
    row("Label2", "QLabel", "Номер телефона");
    row("Label9", "QLabel", "Дозвон");
    row("Label10", "QLabel", "24 часа");
    row("Panel4", "QFrame", "");
    row("Label5", "QLabel", "Размыкание шлейфа 1");
    row("Label7", "QLabel", "Замыкание шлейфа 1");
    row("Label6", "QLabel", "Размыкание шлейфа 2");
    row("Label8", "QLabel", "Замыкание шлейфа 2");
    row("Label4", "QLabel", "Снятие с охраны");
    row("Label3", "QLabel", "Постановка на охрану");
    for (const char* name : {"NumE1", "NumE2", "NumE3", "NumE4", "NumE5", "NumE6"}) {
      row(name, "QLineEdit", "");
    }
    for (const char* name : {"Call1", "Call2", "Call3", "Call4", "Call5", "Call6", "H241", "H242",
                             "H243", "H244", "H245", "H246"}) {
      row(name, "QCheckBox", "");
    }
    row("ReadNumsB", "QPushButton", "Прочитать");
    row("WriteNumsB", "QPushButton", "Записать");
  }
  void everyControlIsThereUnderItsNameWithItsCaption() {
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, caption);
    WindowUnderTest window;
    const auto found = window->findChildren<QWidget*>(name);
    QCOMPARE(found.size(), 1);
    QVERIFY2(found.front()->inherits(kind.toLatin1()), found.front()->metaObject()->className());
    QCOMPARE(Caption(found.front()), caption);
  }

  void theWindowAndItsTopStripAreAsDesigned() {
    WindowUnderTest window;
    QCOMPARE(window->objectName(), QString("fOrvex"));
    QCOMPARE(window->windowTitle(), QString::fromUtf8("Настройка Охранной Панели \"Orvex GSM\""));
    QCOMPARE(window->size(), QSize(Dip(769), Dip(647)));
    QCOMPARE(window.Control<QComboBox>("cb1")->geometry(), DipRect(8, 16, 89, 21));
    QCOMPARE(window.Control<QCheckBox>("xCon")->geometry(), DipRect(104, 18, 177, 17));
    QCOMPARE(window.Control<QPushButton>("Button1")->geometry(), DipRect(8, 48, 225, 25));
    QCOMPARE(window.Control<QPushButton>("Button2")->geometry(), DipRect(8, 80, 225, 25));
    // The copy's buttons: right of the connection box, on the rows of the
    // read and write buttons and the one below, inside the strip.
    QCOMPARE(window.Control<QGroupBox>("FileGB")->geometry(), DipRect(296, 24, 241, 121));
    const char* const fileButtons[] = {"BackupB", "RestoreB", "CompareB"};
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(window.Control<QPushButton>(fileButtons[i])->geometry(),
               DipRect(8, 24 + 32 * i, 225, 25));
    }
    QCOMPARE(window.Control<QPushButton>("BackupB")->shortcut(), QKeySequence("Ctrl+S"));
    QCOMPARE(window.Control<QPushButton>("RestoreB")->shortcut(), QKeySequence("Ctrl+O"));
    QVERIFY(window.Control<QComboBox>("cb1")->isEditable());
    QCOMPARE(window.Control<QComboBox>("cb1")->currentText(), QString("COM2"));
    QStringList ports;
    for (int i = 0; i < window.Control<QComboBox>("cb1")->count(); ++i)
      ports << window.Control<QComboBox>("cb1")->itemText(i);
    QCOMPARE(ports, (QStringList{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"}));
    QVERIFY(!window.Control<QCheckBox>("xCon")->isChecked());
    QCOMPARE(window.Control<QTreeWidget>("SettingsTV")->topLevelItemCount(), 2);
    QCOMPARE(window.Control<QTreeWidget>("SettingsTV")->topLevelItem(0)->text(0),
             QString("Ключи Touch Memory"));
    QCOMPARE(window.Control<QTreeWidget>("SettingsTV")->topLevelItem(1)->text(0),
             QString("Номера дозвона"));
    QCOMPARE(window.Control<QTreeWidget>("SettingsTV")->indentation(), Dip(19));
  }

  void regionsAndPagesFillTheirPlaces() {
    WindowUnderTest window;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(&*window));
    window->resize(Dip(900), Dip(700));
    QTest::qWait(20);

    QCOMPARE(window.Control<QFrame>("Panel1")->geometry(), QRect(0, 0, window->width(), Dip(153)));
    QCOMPARE(window.Control<QGroupBox>("SettingsGB")->geometry(),
             QRect(0, Dip(153), Dip(201), window->height() - Dip(153)));
    QCOMPARE(window.Control<QFrame>("Panel3")->geometry(),
             QRect(Dip(201), Dip(153), Dip(8), window->height() - Dip(153)));
    QWidget* area = window.Control<TKeysPage>("TMGB")->parentWidget();
    QCOMPARE(area->geometry(),
             QRect(Dip(209), Dip(153), window->width() - Dip(209), window->height() - Dip(153)));
    QCOMPARE(window.Control<TKeysPage>("TMGB")->geometry(), area->rect());
    window->ShowPage(window.Control<TNumbersPage>("NumbersGB"));
    QTest::qWait(20);
    QVERIFY(window.Control<TKeysPage>("TMGB")->isHidden());
    QCOMPARE(window.Control<TNumbersPage>("NumbersGB")->geometry(), area->rect());
    QCOMPARE(window.Control<QFrame>("Panel4")->geometry(), DipRect(16, 48, 465, 217));
    QCOMPARE(NumE(*window, 6)->geometry(), DipRect(144, 180, 121, 21));
    QCOMPARE(H24(*window, 6)->geometry(), DipRect(384, 184, 17, 17));
    QCOMPARE(window.Control<QPushButton>("WriteNumsB")->geometry(), DipRect(112, 280, 75, 25));
  }

  void tabGoesThroughTheControlsInTheDesignedOrder() {
    WindowUnderTest window;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(&*window));
    window->ShowPage(window.Control<TNumbersPage>("NumbersGB"));
    window.Control<TKeysPage>("TMGB")->show();  // both pages take part, as they are laid out
    const QStringList expected{
        "cb1",   "xCon",       "Button1",  "Button2",    "BackupB", "RestoreB", "CompareB",
        "e1",    "Button3",    "TouchSTR", "SettingsTV", "NumE1",   "NumE2",    "NumE3",
        "NumE4", "NumE5",      "NumE6",    "Call1",      "Call2",   "Call3",    "Call4",
        "Call5", "Call6",      "H241",     "H242",       "H243",    "H244",     "H245",
        "H246",  "WriteNumsB", "ReadNumsB"};
    QStringList order;
    QWidget* widget = window.Control<QComboBox>("cb1");
    for (int step = 0; step < 200 && order.size() < expected.size(); ++step) {
      if (widget->focusPolicy() & Qt::TabFocus && widget->isVisibleTo(&*window) &&
          expected.contains(widget->objectName()) && !order.contains(widget->objectName())) {
        order << widget->objectName();
      }
      widget = widget->nextInFocusChain();
    }
    QCOMPARE(order, expected);
  }

  void waitWindowIsASmallTopmostDialogThatOnlyHidesOnClose() {
    WindowUnderTest window;
    auto* wait = new TfWait(&*window);
    wait->ShowDrawn();

    QCOMPARE(wait->windowTitle(), QString::fromUtf8("Обмен данными"));
    QCOMPARE(wait->size(), QSize(Dip(313), Dip(105)));
    QCOMPARE(wait->minimumSize(), wait->maximumSize());
    const Qt::WindowFlags flags = wait->windowFlags();
    QVERIFY(flags & Qt::WindowStaysOnTopHint);
    QVERIFY(flags & Qt::MSWindowsFixedSizeDialogHint);  // no sizing border on Windows
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!wait->isModal());
    QCOMPARE(Control<TCopyAnimation>(*wait, "Animate1")->geometry(), DipRect(20, 22, 272, 60));
    QVERIFY(wait->isVisible());

    wait->close();
    QVERIFY(wait->isHidden());
    QCOMPARE(window->findChild<TfWait*>(), wait);  // hidden, not destroyed
  }

  void animationRunsThroughItsFramesByTheClock() {
    WindowUnderTest window;
    TfWait wait(&*window);
    wait.ShowDrawn();
    QSet<int> frames;
    for (int i = 0; i < 40; ++i) {
      QThread::msleep(TCopyAnimation::kFrameMs / 2);
      wait.Animate();
      frames.insert(Control<TCopyAnimation>(wait, "Animate1")->Frame());
    }
    QVERIFY2(frames.size() >= 15, qPrintable(QString("%1 frames").arg(frames.size())));
    for (int frame : frames) {
      QVERIFY(frame >= TCopyAnimation::kFirstFrame && frame <= TCopyAnimation::kLastFrame);
    }
  }

  void aWaitScopeLeavesNoWaitWindowBehindEvenOnAnError() {
    WindowUnderTest window;
    TfWait* slot = nullptr;
    try {
      TWaitScope scope(&*window, slot);
      QVERIFY(slot && slot->isVisible());
      throw std::runtime_error("interrupted");
    } catch (const std::runtime_error&) {
    }
    QCOMPARE(slot, nullptr);
    QCOMPARE(window->findChild<TfWait*>(), nullptr);
  }
};

QTEST_MAIN(WindowLayoutTest)
#include "window_layout_test.moc"
