// The message boxes as the user meets them (texts, titles, icons, buttons,
// Enter and Esc), the default error display's text, and the last-resort
// catch of the application object.

#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <functional>
#include <stdexcept>

#include "app/error_display.h"
#include "app/main_window.h"
#include "app/message_boxes.h"
#include "app/port_notice.h"
#include "fakes/sim_process.h"
#include "gui_test_support.h"

using namespace orvex_test;

namespace {

// What a box looked like, and whether it survived Esc and a close request.
struct BoxSeen {
  QString title;
  QString text;
  QString details;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;  // texts, in the order of the box's list
  QString defaultButton;
  bool openAfterEscape = false;
  bool openAfterClose = false;
  QWidget* owner = nullptr;
  bool textWhole = false;  // the label got all the room its text needs
};

QString TextOf(QAbstractButton* button) {
  return button ? button->text() : QString();
}

// Looks at the next message box from inside its own loop, then ends it with
// `finish`. Esc and a close request are tried first only when asked.
void OnNextBox(BoxSeen& seen, bool tryEscapeAndClose, std::function<void(QMessageBox*)> finish) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [=, &seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.details = box->detailedText();
    seen.icon = box->icon();
    for (QAbstractButton* button : box->buttons()) seen.buttons << button->text();
    seen.defaultButton = TextOf(box->defaultButton());
    seen.owner = box->parentWidget();
    if (const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
      seen.textWhole =
          label->width() >= label->minimumWidth() &&
          label->geometry().right() <= box->contentsRect().right() &&
          (!label->wordWrap() || label->heightForWidth(label->width()) <= label->height());
    if (tryEscapeAndClose) {
      QWidget* focus = box->focusWidget() ? box->focusWidget() : box;
      QTest::keyClick(focus, Qt::Key_Escape);
      seen.openAfterEscape = box->isVisible();
      if (box->isVisible()) {
        box->close();
        seen.openAfterClose = box->isVisible();
      }
    }
    if (box->isVisible()) finish(box);
  });
  timer->start();
}

void Click(QMessageBox* box, QMessageBox::StandardButton which) {
  box->button(which)->click();
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void defaultErrorTextEndsWithAFullStopAfterCharactersAboveIt_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Unable to read from port"
                            << "Unable to read from port.";
    QTest::newRow("full stop") << "Device not opened."
                               << "Device not opened.";
    QTest::newRow("closing bracket") << "List index out of bounds (0)"
                                     << "List index out of bounds (0)";
    QTest::newRow("exclamation mark") << "Stop!"
                                      << "Stop!";
    QTest::newRow("slash, just above") << "a/"
                                       << "a/.";
    QTest::newRow("Cyrillic") << QString::fromUtf8("команды: +H03")
                              << QString::fromUtf8("команды: +H03.");
    QTest::newRow("empty") << QString() << QString();
  }
  void defaultErrorTextEndsWithAFullStopAfterCharactersAboveIt() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(DefaultErrorText(message), shown);
  }

  void questionBoxHasYesAsDefaultAndNoForEscape() {
    TMessageBoxes boxes;
    const QString text = QString::fromUtf8("Обнаружена охранная панель \"Orvex GSM\"?");
    BoxSeen seen;
    OnNextBox(seen, false, [](QMessageBox* box) {
      QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Return);
    });
    QVERIFY(boxes.AskYesNo(text));
    QCOMPARE(seen.title, QString("Confirm"));
    QCOMPARE(seen.text, text);
    QCOMPARE(seen.icon, QMessageBox::Question);
    QCOMPARE(seen.buttons.size(), 2);
    QVERIFY(seen.buttons.contains("&Yes"));
    QVERIFY(seen.buttons.contains("&No"));
    QCOMPARE(seen.defaultButton, QString("&Yes"));

    BoxSeen escaped;
    OnNextBox(escaped, true, [](QMessageBox* box) { Click(box, QMessageBox::Yes); });
    QVERIFY(!boxes.AskYesNo(text));
    QVERIFY(!escaped.openAfterEscape);

    BoxSeen answeredNo;
    OnNextBox(answeredNo, false, [](QMessageBox* box) { Click(box, QMessageBox::No); });
    QVERIFY(!boxes.AskYesNo(text));
  }

  void questionBoxClosedWithoutAChoiceCountsAsNo() {
    TMessageBoxes boxes;
    BoxSeen seen;
    OnNextBox(seen, false, [](QMessageBox* box) { box->close(); });
    QVERIFY(!boxes.AskYesNo("?"));
  }

  void singleYesBoxesStayOpenOnEscapeAndClose_data() {
    QTest::addColumn<bool>("error");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("text");
    const QString shortText = QString::fromUtf8("Ошибка записи:\n\r\n\rсообщение");
    QTest::newRow("no connection") << false << "Confirm" << int(QMessageBox::Question) << shortText;
    QTest::newRow("write error") << true << "Error" << int(QMessageBox::Critical) << shortText;
    // Wider than any box Qt lets the screen hold: wrapped, never cut.
    QTest::newRow("write error, long line")
        << true << "Error" << int(QMessageBox::Critical)
        << QString::fromUtf8(
               "Ошибка записи в охранную панель \"Orvex GSM\":\n\nПорт COM2 не открыт: охранной "
               "панели ничего не отправлено. Щёлкните «Связь с охранной панелью», чтобы найти "
               "панель");
  }
  void singleYesBoxesStayOpenOnEscapeAndClose() {
    QFETCH(bool, error);
    QFETCH(QString, title);
    QFETCH(int, icon);
    QFETCH(QString, text);
    TMessageBoxes boxes;
    BoxSeen seen;
    OnNextBox(seen, true, [](QMessageBox* box) { Click(box, QMessageBox::Yes); });
    if (error) {
      boxes.ShowError(text);
    } else {
      boxes.Confirm(text);
    }
    QCOMPARE(seen.title, title);
    QCOMPARE(int(seen.icon), icon);
    QCOMPARE(seen.text, text);  // line feeds and carriage returns as given
    QVERIFY(seen.textWhole);
    QCOMPARE(seen.buttons, QStringList{"&Yes"});
    QCOMPARE(seen.defaultButton, QString("&Yes"));
    QVERIFY(seen.openAfterEscape);
    QVERIFY(seen.openAfterClose);
  }

  void theNoConnectionBoxKeepsItsOneYesAndShowsThePortsAsDetails() {
    TMessageBoxes boxes;
    const QString text = QString::fromUtf8("Нет связи с охранной панелью \"Orvex-GSM\"!");
    const QString details = QString::fromUtf8("Опрошены порты:\nCOM1: такого порта нет.");
    BoxSeen seen;
    OnNextBox(seen, true, [](QMessageBox* box) { Click(box, QMessageBox::Yes); });
    boxes.Confirm(text, details);
    QCOMPARE(seen.text, text);
    QCOMPARE(seen.details, details);
    QCOMPARE(seen.icon, QMessageBox::Question);
    // Yes, and the toolkit's own button that shows the details.
    QCOMPARE(seen.buttons.size(), 2);
    QVERIFY(seen.buttons.contains("&Yes"));
    QCOMPARE(seen.defaultButton, QString("&Yes"));
    QVERIFY(seen.openAfterEscape);
    QVERIFY(seen.openAfterClose);
  }

  // A box without an owner may open behind the main window (Windows): every
  // box belongs to it, also before it is first shown.
  void everyBoxIsOwnedByTheMainWindow() {
    ScriptedPrompter none;  // replaced by the boxes below
    WindowUnderTest window;
    TMessageBoxes boxes;
    const std::function<void()> shows[] = {
        [&] { boxes.AskYesNo("?"); },  [&] { boxes.Confirm("!", "details"); },
        [&] { boxes.ShowError("!"); }, [&] { boxes.Inform("!"); },
        [&] { boxes.Warn("!"); },      [&] { boxes.ShowDefaultError("!"); },
    };
    for (const auto& show : shows) {
      BoxSeen seen;
      OnNextBox(seen, false, [](QMessageBox* box) {
        for (QAbstractButton* button : box->buttons()) {
          // Not the toolkit's button that shows the details.
          if (box->buttonRole(button) != QMessageBox::ActionRole) {
            button->click();
            return;
          }
        }
      });
      show();
      QCOMPARE(seen.owner, static_cast<QWidget*>(&*window));
    }
  }

  void theNoConnectionDetailsShowEveryPortWithoutScrolling() {
    ScriptedPrompter none;
    WindowUnderTest window;
    TMessageBoxes boxes;
    std::vector<PortTry> tries;
    for (int n : {2, 1, 2, 3, 4, 5, 6, 7, 8}) {
      const std::string name = "COM" + std::to_string(n);
      OpenFailure failure{OpenFailureKind::kNoDevice,
                          2,
                          "No such file or directory",
                          "/nonexistent/orvex-gui-test/" + name,
                          {},
                          ""};
      tries.push_back({name, n == 1, n == 1 ? OpenFailure{} : failure, false, {}});
    }
    tries[0] = {"COM2",
                true,
                {},
                true,
                QString::fromUtf8("Не удалось прочитать ключ 2: охранная панель не ответила.")};
    const QString details = QString::fromUtf8("Опрошены порты:\n") + PortTriesText(tries);
    int scrollable = -1;
    int shownLines = 0;
    BoxSeen seen;
    OnNextBox(seen, false, [&](QMessageBox* box) {
      for (QAbstractButton* button : box->buttons())
        if (box->buttonRole(button) == QMessageBox::ActionRole) button->click();
      QApplication::processEvents();
      if (auto* lines = box->findChild<QTextEdit*>(); lines && lines->isVisible()) {
        scrollable = lines->verticalScrollBar()->maximum();
        shownLines = static_cast<int>(lines->toPlainText().count('\n')) + 1;
      }
      Click(box, QMessageBox::Yes);
    });
    boxes.Confirm(QString::fromUtf8("Нет связи с охранной панелью \"Orvex-GSM\"!"), details);
    QCOMPARE(shownLines, static_cast<int>(details.count('\n')) + 1);
    QCOMPARE(scrollable, 0);
    for (int n = 1; n <= 8; ++n)
      QCOMPARE(details.split('\n').filter(QRegularExpression(QString("^COM%1\\b").arg(n))).size(),
               1);
  }

  void defaultErrorDisplayIsTitledWithTheApplicationAndHasOk() {
    TMessageBoxes boxes;
    BoxSeen seen;
    OnNextBox(seen, true, [](QMessageBox* box) { Click(box, QMessageBox::Ok); });
    boxes.ShowDefaultError("Device not opened.");
    QCOMPARE(seen.title, QString("Orvex-GSM"));
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QCOMPARE(seen.text, QString("Device not opened."));
    QCOMPARE(seen.buttons, QStringList{"OK"});
    QVERIFY(!seen.openAfterEscape);
  }

  void portNoticeIsAnInformationBoxWithOk() {
    TMessageBoxes boxes;
    BoxSeen seen;
    OnNextBox(seen, true, [](QMessageBox* box) { Click(box, QMessageBox::Ok); });
    boxes.Inform(QString::fromUtf8("Не удалось открыть порт"));
    QCOMPARE(seen.title, QString("Information"));
    QCOMPARE(seen.icon, QMessageBox::Information);
    QCOMPARE(seen.buttons, QStringList{"OK"});
    QVERIFY(!seen.openAfterEscape);
  }

  void anErrorThatEscapesAnEventHandlerIsShownAndTheProgramGoesOn() {
    class Thrower : public QObject {
     public:
      bool event(QEvent* event) override {
        if (event->type() == QEvent::User) throw std::runtime_error("Сбой обмена");
        return QObject::event(event);
      }
    };
    ScriptedPrompter prompter;
    Thrower thrower;
    QEvent event(QEvent::User);

    QVERIFY(!QCoreApplication::sendEvent(&thrower, &event));

    QCOMPARE(prompter.Texts(Prompt::kDefaultError), QStringList{QString::fromUtf8("Сбой обмена.")});
  }

  void aHandlerErrorIsShownOnceAndEndsOnlyThatHandler() {
    ScriptedPrompter prompter;
    RunHandler([] { throw std::runtime_error("Unable to write to port"); });
    RunHandler([] {});
    QCOMPARE(prompter.Texts(Prompt::kDefaultError), QStringList{"Unable to write to port."});
  }

#ifndef _WIN32
  // The simulator is a POSIX program; under Windows the window meets it on a
  // COM port (window_on_com_port_win32_test.cpp).
  void theProgramRunsOnAfterTheStartUpBoxesAndWaitWindowClose() {
    // Every box and the wait window close before the main window is first
    // shown; none of them may end the message loop as the last window.
    SimProcess sim;
    PortMapScript ports({{"COM2", sim.SlavePath()}});
    TMessageBoxes boxes;
    Prompter* previous = SetPrompter(&boxes);
    QTimer answer;
    answer.setInterval(10);
    int answered = 0;
    connect(&answer, &QTimer::timeout, [&answered] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        box->button(QMessageBox::Yes)->click();
        ++answered;
      }
    });
    answer.start();
    WindowUnderTest window;
    window->FormCreate();
    window->show();
    QElapsedTimer running;
    running.start();
    bool shownAtTheEnd = false;
    QTimer::singleShot(300, [&] {
      shownAtTheEnd = window->isVisible();
      QApplication::quit();
    });

    QApplication::exec();

    SetPrompter(previous);
    QCOMPARE(answered, 1);
    QVERIFY(running.elapsed() >= 250);
    QVERIFY(shownAtTheEnd);
  }
#endif
};

int main(int argc, char** argv) {
  // The program's own application object, whose catch is under test.
  TOrvexApplication application(argc, argv);
  DialogsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "dialogs_test.moc"
