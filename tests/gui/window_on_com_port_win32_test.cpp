// The window as an installer meets it on Windows: the panel simulator at the
// far end of a COM port, the real Win32 serial backend under the window's
// event loop, and the window's state kept in the registry across a restart.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/connection_box.h"
#include "app/key_grid.h"
#include "fakes/temp_dir.h"
#include "gui_test_support.h"
#include "panel/settings_file.h"

using namespace orvex_test;

namespace {

const wchar_t kFormKey[] = L"SOFTWARE\\NolvarGSM\\Forms\\fOrvex";

QString SavedString(const wchar_t* name) {
  wchar_t value[256] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, kFormKey, name, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS) {
    return QStringLiteral("(missing)");
  }
  return QString::fromWCharArray(value);
}

}  // namespace

class WindowOnComPortTest : public QObject {
  Q_OBJECT

 private slots:
  void readsThePanelOnTheSavedPortAfterARestart() {
    const QString port = QStringLiteral(ORVEX_TEST_SIM_PORT);
    RegDeleteTreeW(HKEY_CURRENT_USER, kFormKey);
    {
      ScriptedPrompter prompter;  // declines the read at start
      WindowUnderTest window;
      window->FormCreate();
      window.Control<QComboBox>("cb1")->setEditText(port);
      window.Control<QLineEdit>("e1")->setText("0102030405060708");
    }  // closing saves
    QCOMPARE(SavedString(L"cb1.Text"), port);
    QCOMPARE(SavedString(L"e1.Text"), QStringLiteral("0102030405060708"));

    ScriptedPrompter prompter;
    prompter.AnswerNext(true);
    WindowUnderTest window;
    window->FormCreate();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(&*window));

    QCOMPARE(window.Control<QComboBox>("cb1")->currentText(), port);
    QVERIFY(window.Control<TConnectionBox>("xCon")->isChecked());
    QCOMPARE(prompter.Texts(Prompt::kError), QStringList());
    // The read filled the list with the panel's keys, not placeholders.
    auto* grid = window.Control<TKeyGrid>("TouchSTR");
    QCOMPARE(grid->EntryCount(), 4);
    QVERIFY(grid->EntryValue(0) != QStringLiteral("7777777777777777"));

    // The key held to the reader, in the order the list shows keys.
    grid->setCurrentCell(1, 0);
    QTest::mouseClick(window.Control<QPushButton>("Button3"), Qt::LeftButton);
    QCOMPARE(window.Control<QLineEdit>("e1")->text(), QStringLiteral("EFCDAB8967452301"));
  }

  // The copy in a file through the Win32 backend: saved whole, then the same
  // file compared with the panel and written back, and the panel holds it.
  void aBackupOfThePanelComparesAndRestoresAsTheSame() {
    const QString port = QStringLiteral(ORVEX_TEST_SIM_PORT);
    RegDeleteTreeW(HKEY_CURRENT_USER, kFormKey);
    TempDir files;
    const QString saved = QString::fromStdString(files.File("panel.txt"));
    ScriptedPrompter prompter;  // declines the read at start
    WindowUnderTest window;
    window->FormCreate();
    window.Control<QComboBox>("cb1")->setEditText(port);

    prompter.ChooseFile(saved);
    window->BackupBClick();
    prompter.ChooseFile(saved);
    window->CompareBClick();
    prompter.ChooseFile(saved);
    window->RestoreBClick();

    QCOMPARE(prompter.Texts(Prompt::kWarn), QStringList());
    QCOMPARE(prompter.Texts(Prompt::kError), QStringList());
    const QString quoted = QString::fromUtf8("«%1»").arg(QDir::toNativeSeparators(saved));
    QCOMPARE(
        prompter.Texts(Prompt::kInform),
        (QStringList{QString::fromUtf8("Копия охранной панели с порта %1 сохранена в файл\n%2.")
                         .arg(port, quoted),
                     QString::fromUtf8("Охранная панель на порту %1 хранит то же, что файл %2.")
                         .arg(port, quoted),
                     QString::fromUtf8("Файл %2 записан в охранную панель на порту %1 и прочитан "
                                       "обратно: панель хранит то же, что файл.")
                         .arg(port, quoted)}));
    const PanelImage image = ParseSettingsFile(ReadFileBytes(saved.toStdString()));
    QCOMPARE(QString::fromStdString(image.keys[1]),
             window.Control<TKeyGrid>("TouchSTR")->EntryValue(1));
  }
};

QTEST_MAIN(WindowOnComPortTest)
#include "window_on_com_port_win32_test.moc"
