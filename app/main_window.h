#pragma once
// The main window fOrvex "Настройка Охранной Панели "Orvex GSM"": the top
// strip with the port box, the connection box and the whole-panel buttons,
// the settings tree, and the page area with the keys and numbers pages. It
// owns the serial port Comm1 and is the exchange's host.

#include <QString>
#include <QWidget>
#include <string>
#include <utility>
#include <vector>

#include "panel/exchange.h"
#include "panel/panel_session.h"
#include "serial/open_failure.h"
#include "serial/serial_comm.h"

class QComboBox;
class QFrame;
class QGroupBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TConnectionBox;
class TKeysPage;
class TNumbersPage;
class TfWait;
enum class WritePart;

class TfOrvex : public QWidget, public ExchangeHost {
  Q_OBJECT

 public:
  // Builds the window and its controls. The caller then runs the creation
  // handler FormCreate on the finished window, which is the exchange's host
  // for the probe that FormCreate starts.
  // firstArgument: the program's first command-line argument as the program
  // got it, for the debug switch.
  explicit TfOrvex(std::string firstArgument);
  // Runs FormDestroy.
  ~TfOrvex() override;
  TfOrvex(const TfOrvex&) = delete;
  TfOrvex& operator=(const TfOrvex&) = delete;

  // Lifecycle.
  void FormCreate();
  void FormShow();
  void FormDestroy();

  // Pages.
  void HidePages();
  void ShowPage(QWidget* page);
  void SettingsTVChange(QTreeWidgetItem* node);

  // The connection workflow (connection_workflow.cpp).
  void OpenPort();
  void Connect();
  void Button1Click();
  void Button2Click();
  void xConMouseDown();

  // A write from the pages (write_workflow.cpp): the whole panel, or the
  // numbers page's flags and numbers. Asks first when the pages hold values
  // not read from the panel on the port; then writes, reads back and
  // compares behind the wait window, and tells the result in one box.
  void WritePages(WritePart part);

  // The panel copied to and from a settings file (file_workflow.cpp): a
  // backup read exactly, a restore written whole and read back, a comparison
  // that writes nothing.
  void BackupBClick();
  void RestoreBClick();
  void CompareBClick();

  // ExchangeHost.
  TCustomComm& Comm1() override { return comm1_; }
  // The panel behind Comm1, as the pages and the workflow talk to it.
  PanelSession& Session() { return session_; }
  void SetConnected(bool checked) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The controls; tests find them by their object names, which are these.
  QFrame* Panel1 = nullptr;
  QComboBox* cb1 = nullptr;
  TConnectionBox* xCon = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QGroupBox* FileGB = nullptr;
  QPushButton* BackupB = nullptr;
  QPushButton* RestoreB = nullptr;
  QPushButton* CompareB = nullptr;
  QGroupBox* SettingsGB = nullptr;
  QTreeWidget* SettingsTV = nullptr;
  QFrame* Panel3 = nullptr;
  TKeysPage* TMGB = nullptr;
  TNumbersPage* NumbersGB = nullptr;
  // The wait window while a whole-panel operation runs, null otherwise.
  TfWait* fWait = nullptr;

  // The window state kept between runs in the settings store.
  void LoadWindowState();
  void SaveWindowState();

  void BuildTopStrip();
  void BuildFileButtons();
  void BuildSettingsColumn();
  QWidget* BuildPageArea();
  void SetTabOrder();
  void CentreOnScreen();
  void ShowSelected(QTreeWidgetItem* node);
  // Gives the window the outer size that the window state restored, once its
  // frame is known.
  void ApplyRestoredOuterSize();
  void AwaitFrame(int looksLeft);
  void FillKeyPlaceholders();
  // Opens the port box's port and probes it; false, after telling the user
  // why, when the panel cannot be reached there.
  bool ReachPanel(const QString& failedLead);
  bool ReadWholePanel(const QString& failedLead, PanelImage& image, bool twice);
  // The pages show a copy of the panel on the port.
  void ShowImage(const PanelImage& image);

  TSerialComm comm1_;
  PanelSession session_{*this};
  // The devices that OpenPort found without permission or busy since Connect
  // began, one entry each; told after the no-connection message.
  std::vector<OpenFailure> port_refusals_;
  // The last Button1Click: whether the panel answered its probe, and why the
  // read that followed failed (empty when it did not).
  bool probe_answered_ = false;
  QString read_failure_;
  std::string first_argument_;
  bool shown_once_ = false;
  // The settings file could not be read at start: it is not written either.
  bool settings_file_unreadable_ = false;
};
