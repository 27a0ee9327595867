#include "app/wait_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QWindow>

#include "app/copy_animation.h"
#include "app/window_metrics.h"

namespace {

// How long the window may take to appear before the exchange starts anyway.
constexpr int kExposeLimitMs = 500;

}  // namespace

TfWait::TfWait(QWidget* owner)
    // Fixed size on Windows needs its own hint: without it the dialog frame
    // keeps a sizing border there, whatever the fixed size says.
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                         Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("fWait"));
  setWindowTitle(QStringLiteral("Обмен данными"));
  setFont(WindowFont());
  setFixedSize(Dip(313), Dip(105));
  Animate1 = new TCopyAnimation(this);
  Animate1->move(Dip(20), Dip(22));
}

void TfWait::ShowDrawn() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  show();
  raise();
  QElapsedTimer waited;
  waited.start();
  const auto flags = QEventLoop::ExcludeUserInputEvents;
  // Exposed is not yet drawn: under Wine the system's first paint of the new
  // window comes tens of milliseconds after it is exposed, and whatever was
  // drawn before it is lost. The window waits for that paint.
  painted_ = false;
  while (waited.elapsed() < kExposeLimitMs) {
    QCoreApplication::processEvents(flags);
    if (windowHandle() && windowHandle()->isExposed() && painted_) break;
    QThread::msleep(2);
  }
  QCoreApplication::processEvents(flags);
  repaint();
}

void TfWait::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (windowHandle() && windowHandle()->isExposed()) painted_ = true;
}

void TfWait::Animate() {
  Animate1->Advance();
}

void TfWait::closeEvent(QCloseEvent* event) {
  hide();
  event->accept();
}

TWaitScope::TWaitScope(QWidget* owner, TfWait*& slot) : slot_(slot) {
  delete slot_;  // at most one wait window at a time
  slot_ = new TfWait(owner);
  slot_->ShowDrawn();
}

TWaitScope::~TWaitScope() {
  delete slot_;
  slot_ = nullptr;
}
