#include "app/main_window.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLineEdit>
#include <QMoveEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/connection_box.h"
#include "app/error_display.h"
#include "app/form_state_adapter.h"
#include "app/key_grid.h"
#include "app/keys_page.h"
#include "app/numbers_page.h"
#include "app/port_box.h"
#include "app/wait_window.h"
#include "app/window_metrics.h"
#include "panel/checked_write.h"
#include "panel/panel_port.h"
#include "serial/port_choice.h"
#include "serial/sync_queue.h"
#include "support/debug_switch.h"
#include "support/form_state.h"
#include "support/log.h"

namespace {

// The window's outer size at design, and the frame of a sizeable window
// (4-pixel borders, 19-pixel caption) that it was designed with: the client
// area is what is left inside.
constexpr int kOuterWidth = 777;
constexpr int kOuterHeight = 674;
constexpr int kFrameWidth = 8;
constexpr int kFrameHeight = 27;

// How often, and how far apart, the shown window looks for its frame: often
// while a window manager usually frames it, then less often for as long as
// it is shown without one (a slow desktop), so that its size never drifts.
constexpr int kFrameLooks = 100;
constexpr int kFrameLookMs = 20;
constexpr int kLateFrameLookMs = 100;

constexpr int kKeysPageNumber = 0;
constexpr int kNumbersPageNumber = 1;
// A tree node opens the page whose number it carries; the text is only what
// the user reads (and may rename).
constexpr int kPageRole = Qt::UserRole;

QString UnreadableSettingsFileText(const ESettingsFileError& error) {
  const QString path = QString::fromStdString(error.Path());
  QString text = QString::fromUtf8("Файл настроек \"%1\" не удалось прочитать").arg(path);
  if (error.Line() > 0) text += QString::fromUtf8(" (ошибка в строке %1)").arg(error.Line());
  // The port map lives in the same file: the ports are opened by their own
  // names, which is why the panel on a mapped port is not found now.
  text += QString::fromUtf8(
      ". Не загружены ни настройки окна, ни соответствие портов устройствам: порты открываются "
      "по своим именам. Файл оставлен без изменений и при закрытии окна не перезаписывается.\n");
  if (error.Line() > 0)
    text += QString::fromUtf8(
                "Исправьте строку %1 в этом файле или удалите файл (тогда "
                "соответствие портов придётся задать заново) и запустите программу "
                "снова.")
                .arg(error.Line());
  else
    text += QString::fromUtf8(
        "Исправьте этот файл или удалите его (тогда соответствие портов "
        "придётся задать заново) и запустите программу снова.");
  return text;
}

}  // namespace

TfOrvex::TfOrvex(std::string firstArgument) : first_argument_(std::move(firstArgument)) {
  setObjectName(QString::fromLatin1(kMainWindowName));
  setWindowTitle(QStringLiteral("Настройка Охранной Панели \"Orvex GSM\""));
  setFont(WindowFont());
  resize(Dip(kOuterWidth - kFrameWidth), Dip(kOuterHeight - kFrameHeight));

  RestorePublishedValues(comm1_, Comm1Values());
  comm1_.SetIdleHook([this] {
    if (fWait) fWait->Animate();
  });
  // With Synchronize on, Comm1's event thread hands each line event to this
  // thread: it wakes the event loop, which then serves the delivery.
  SynchronizeQueue::Instance().SetWaker([] {
    if (QCoreApplication* app = QCoreApplication::instance())
      QMetaObject::invokeMethod(
          app, [] { SynchronizeQueue::Instance().Serve(); }, Qt::QueuedConnection);
  });

  BuildTopStrip();
  BuildSettingsColumn();
  Panel3 = new QFrame(this);
  Panel3->setObjectName(QStringLiteral("Panel3"));
  Panel3->setFrameShape(QFrame::NoFrame);
  Panel3->setFixedWidth(Dip(8));

  auto* lower = new QHBoxLayout;
  lower->setContentsMargins(0, 0, 0, 0);
  lower->setSpacing(0);
  lower->addWidget(SettingsGB);
  lower->addWidget(Panel3);
  lower->addWidget(BuildPageArea(), 1);
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);
  root->addWidget(Panel1);
  root->addLayout(lower, 1);
  SetTabOrder();
}

TfOrvex::~TfOrvex() {
  FormDestroy();
  comm1_.SetIdleHook(nullptr);
}

void TfOrvex::BuildTopStrip() {
  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameShape(QFrame::NoFrame);
  Panel1->setFixedHeight(Dip(153));

  auto* portBox = new TPortBox(Panel1);
  cb1 = portBox;
  cb1->setObjectName(QStringLiteral("cb1"));
  cb1->setEditable(true);
  // The list is the scan order: what the user types must not join it.
  cb1->setInsertPolicy(QComboBox::NoInsert);
  for (const std::string& port : StandardPortList()) cb1->addItem(QString::fromStdString(port));
  portBox->RefreshAdapters();
  cb1->setCurrentIndex(1);
  cb1->setEditText(QString::fromLatin1(kDefaultPortName));
  cb1->setGeometry(DipRect(8, 16, 89, 21));

  xCon = new TConnectionBox(Panel1);
  xCon->setObjectName(QStringLiteral("xCon"));
  xCon->setText(QStringLiteral("Связь с охранной панелью"));
  xCon->setGeometry(DipRect(104, 18, 177, 17));
  xCon->OnMouseDown = [this] { xConMouseDown(); };

  Button1 = new QPushButton(QStringLiteral("Прочитать настройки из \"Orvex GSM\""), Panel1);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(DipRect(8, 48, 225, 25));
  Button1->setAutoDefault(false);
  connect(Button1, &QPushButton::clicked, this, [this] { RunHandler([this] { Button1Click(); }); });

  Button2 = new QPushButton(QStringLiteral("Записать настройки в \"Orvex GSM\""), Panel1);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(DipRect(8, 80, 225, 25));
  Button2->setAutoDefault(false);
  connect(Button2, &QPushButton::clicked, this, [this] { RunHandler([this] { Button2Click(); }); });
  BuildFileButtons();
}

void TfOrvex::BuildFileButtons() {
  // The second column of the strip, right of the connection box, its buttons
  // on the rows of the read and write buttons.
  FileGB = new QGroupBox(QStringLiteral("Копия панели в файле"), Panel1);
  FileGB->setObjectName(QStringLiteral("FileGB"));
  FileGB->setGeometry(DipRect(296, 24, 241, 121));
  const struct {
    QPushButton*& button;
    const char* name;
    const char* caption;
    QKeySequence keys;
    void (TfOrvex::*handler)();
    int top;
  } buttons[] = {
      {BackupB, "BackupB", "Сохранить копию панели в файл…", QKeySequence(Qt::CTRL | Qt::Key_S),
       &TfOrvex::BackupBClick, 24},
      {RestoreB, "RestoreB", "Записать в панель из файла…", QKeySequence(Qt::CTRL | Qt::Key_O),
       &TfOrvex::RestoreBClick, 56},
      {CompareB, "CompareB", "Сравнить панель с файлом…", QKeySequence(), &TfOrvex::CompareBClick,
       88},
  };
  for (const auto& b : buttons) {
    b.button = new QPushButton(QString::fromUtf8(b.caption), FileGB);
    b.button->setObjectName(QString::fromLatin1(b.name));
    b.button->setGeometry(DipRect(8, b.top, 225, 25));
    b.button->setAutoDefault(false);
    if (!b.keys.isEmpty()) {
      b.button->setShortcut(b.keys);
      b.button->setToolTip(b.keys.toString(QKeySequence::NativeText));
    }
    const auto handler = b.handler;
    connect(b.button, &QPushButton::clicked, this,
            [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); });
  }
}

void TfOrvex::BuildSettingsColumn() {
  SettingsGB = new QGroupBox(QStringLiteral("Настройки"), this);
  SettingsGB->setObjectName(QStringLiteral("SettingsGB"));
  SettingsGB->setFixedWidth(Dip(201));

  SettingsTV = new QTreeWidget(SettingsGB);
  SettingsTV->setObjectName(QStringLiteral("SettingsTV"));
  SettingsTV->setHeaderHidden(true);
  SettingsTV->setColumnCount(1);
  SettingsTV->setIndentation(Dip(19));
  SettingsTV->setEditTriggers(QAbstractItemView::SelectedClicked |
                              QAbstractItemView::EditKeyPressed);
  const std::pair<const char*, int> nodes[] = {{"Ключи Touch Memory", kKeysPageNumber},
                                               {"Номера дозвона", kNumbersPageNumber}};
  for (const auto& [text, page] : nodes) {
    auto* node = new QTreeWidgetItem(SettingsTV, QStringList{QString::fromUtf8(text)});
    node->setData(0, kPageRole, page);
    node->setFlags(node->flags() | Qt::ItemIsEditable);
  }
  connect(SettingsTV, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* node) {
    ShowSelected(node);
    RunHandler([this, node] { SettingsTVChange(node); });
  });

  auto* layout = new QVBoxLayout(SettingsGB);
  layout->setContentsMargins(Dip(2), 0, Dip(2), Dip(2));
  layout->addWidget(SettingsTV);
}

QWidget* TfOrvex::BuildPageArea() {
  auto* area = new QWidget(this);
  area->setObjectName(QStringLiteral("PageArea"));
  TMGB = new TKeysPage(area, session_, fWait);
  NumbersGB = new TNumbersPage(area, session_);
  NumbersGB->SetWriter([this] { WritePages(WritePart::kNumbers); });
  // Both pages share the one cell: the page shown fills it.
  auto* layout = new QGridLayout(area);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(TMGB, 0, 0);
  layout->addWidget(NumbersGB, 0, 0);
  return area;
}

void TfOrvex::SetTabOrder() {
  // Panel1, TMGB, SettingsGB, Panel3, NumbersGB, each with its own order.
  const auto named = [this](const char* name) {
    return findChild<QWidget*>(QString::fromLatin1(name));
  };
  QWidget* order[] = {cb1,        xCon,          Button1,     Button2,          BackupB,
                      RestoreB,   CompareB,      named("e1"), named("Button3"), named("TouchSTR"),
                      SettingsTV, named("NumE1")};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void TfOrvex::SetConnected(bool checked) {
  xCon->setChecked(checked);
}

void TfOrvex::FormCreate() {
  // An error ends the steps where it happens; the window is shown anyway.
  RunHandler([this] {
    LoadWindowState();
    ApplyDebugSwitch(first_argument_);
    session_.SetDebugMode(DebugMode);
    Connect();
  });
}

void TfOrvex::FormShow() {
  HidePages();
  // The keys page, without touching the tree's selection.
  RunHandler([this] { SettingsTVChange(SettingsTV->topLevelItem(0)); });
}

void TfOrvex::FormDestroy() {
  RunHandler([this] { SaveWindowState(); });
}

// The window's size, maximized state and field contents come back from the
// settings store as the first step of FormCreate, and go back as the only
// step of FormDestroy.
//
// A settings file that cannot be read is reported once; the window starts as
// designed, start-up goes on, and the file stays as the user left it: the save
// at the end leaves it alone too. A value of the wrong type is an error of the
// load, which ends FormCreate's steps.
void TfOrvex::LoadWindowState() {
  TFormStateAdapter window(*this, QSize(Dip(kFrameWidth), Dip(kFrameHeight)));
  try {
    LoadFormState(window);
  } catch (const ESettingsFileError& error) {
    settings_file_unreadable_ = true;
    ShowDefaultError(UnreadableSettingsFileText(error));
  }
}

void TfOrvex::SaveWindowState() {
  if (settings_file_unreadable_) return;
  TFormStateAdapter window(*this, QSize(Dip(kFrameWidth), Dip(kFrameHeight)));
  SaveFormState(window);
}

void TfOrvex::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;  // a restore from the task bar is no new show
  FormShow();
  if (shown_once_) return;
  shown_once_ = true;
  ApplyRestoredOuterSize();
  CentreOnScreen();
  AwaitFrame(kFrameLooks);
}

void TfOrvex::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  RememberFrame(*this);
}

void TfOrvex::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The frame may change with the window's state (maximized, for one); the
  // save at the end, when the window is no longer framed, takes the last.
  RememberFrame(*this);
}

void TfOrvex::AwaitFrame(int looksLeft) {
  // Under X11 the frame becomes known only once the window manager has framed
  // the shown window, and no event tells when: the window looks for it until
  // it has one, then gives the restored size its real frame and centres
  // again. A hidden window stops looking.
  RememberFrame(*this);
  if (FrameKnown(*this)) {
    ApplyRestoredOuterSize();
    CentreOnScreen();
    return;
  }
  if (!isVisible()) return;
  QTimer::singleShot(looksLeft > 0 ? kFrameLookMs : kLateFrameLookMs, this,
                     [this, looksLeft] { AwaitFrame(looksLeft > 0 ? looksLeft - 1 : 0); });
}

void TfOrvex::ApplyRestoredOuterSize() {
  const QSize outer = property(kRestoredOuterSize).toSize();
  if (!outer.isValid() || !FrameKnown(*this)) return;
  setProperty(kRestoredOuterSize, QVariant());
  if (isMaximized() || isFullScreen()) return;
  resize((outer - FrameSize(*this)).expandedTo(QSize(1, 1)));
}

void TfOrvex::CentreOnScreen() {
  if (isMaximized() || isFullScreen()) return;
  const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  if (!FrameKnown(*this)) {
    // Before the window is framed the designed frame counts; the window
    // manager places the frame where the window asks.
    const QSize outer = size() + QSize(Dip(kFrameWidth), Dip(kFrameHeight));
    move(area.center() - QPoint(outer.width() / 2, outer.height() / 2));
    return;
  }
  // Framed: the client goes inside the real frame (a move would place the
  // frame by the widget's own, possibly outdated, copy of it).
  const QMargins frame = FrameMargins(*this);
  const QSize outer = size() + FrameSize(*this);
  const QPoint corner = area.center() - QPoint(outer.width() / 2, outer.height() / 2);
  setGeometry(QRect(corner + QPoint(frame.left(), frame.top()), size()));
}

void TfOrvex::ShowSelected(QTreeWidgetItem* node) {
  // The view selects a clicked node only after it has announced the change,
  // and the numbers read that the change starts blocks the thread: the node is
  // selected and drawn first, so that a box from the read shows over it.
  if (node == nullptr) return;
  SettingsTV->selectionModel()->select(SettingsTV->indexFromItem(node),
                                       QItemSelectionModel::ClearAndSelect);
  SettingsTV->viewport()->repaint();
}

void TfOrvex::HidePages() {
  TMGB->hide();
  NumbersGB->hide();
}

void TfOrvex::ShowPage(QWidget* page) {
  HidePages();
  page->show();
}

void TfOrvex::SettingsTVChange(QTreeWidgetItem* node) {
  if (node == nullptr) return;
  bool numbered = false;
  const int page = node->data(0, kPageRole).toInt(&numbered);
  if (!numbered) return;
  switch (page) {
    case kKeysPageNumber:
      ShowPage(TMGB);
      break;
    case kNumbersPageNumber:
      ShowPage(NumbersGB);
      NumbersGB->ReadNumsBClick();
      break;
    default:
      break;
  }
}
