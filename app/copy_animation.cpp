#include "app/copy_animation.h"

#include <QPainter>
#include <QPainterPath>

#include "app/window_metrics.h"

namespace {

// Clip geometry at 96 dpi.
constexpr int kClipWidth = 272;
constexpr int kClipHeight = 60;
constexpr QPointF kFrom(46, 30);  // where a document leaves the left folder
constexpr QPointF kTo(214, 30);   // where it drops into the right one
constexpr double kFlightHeight = 26;

void DrawFolder(QPainter& p, double left, bool open) {
  const QColor edge(128, 96, 0);
  p.setPen(QPen(edge, 1));
  p.setBrush(QColor(230, 190, 60));
  QPainterPath back;
  back.moveTo(left, 24);
  back.lineTo(left + 4, 20);
  back.lineTo(left + 18, 20);
  back.lineTo(left + 22, 24);
  back.lineTo(left + 52, 24);
  back.lineTo(left + 52, 56);
  back.lineTo(left, 56);
  back.closeSubpath();
  p.drawPath(back);
  // A sheet standing in the folder.
  p.setBrush(Qt::white);
  p.setPen(QPen(QColor(96, 96, 96), 1));
  p.drawRect(QRectF(left + 10, 18, 30, 26));
  p.setBrush(QColor(250, 214, 90));
  p.setPen(QPen(edge, 1));
  QPainterPath front;
  const double lean = open ? 8 : 2;
  front.moveTo(left - lean, 32);
  front.lineTo(left + 52 - lean, 32);
  front.lineTo(left + 52, 56);
  front.lineTo(left, 56);
  front.closeSubpath();
  p.drawPath(front);
}

void DrawDocument(QPainter& p, QPointF centre, double tilt) {
  p.save();
  p.translate(centre);
  p.rotate(tilt);
  p.setPen(QPen(QColor(64, 64, 64), 1));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(-8, -10, 16, 20));
  p.setPen(QPen(QColor(40, 80, 200), 1));
  for (int line = 0; line < 4; ++line) {
    p.drawLine(QPointF(-5, -6 + line * 4), QPointF(5, -6 + line * 4));
  }
  p.restore();
}

}  // namespace

TCopyAnimation::TCopyAnimation(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Animate1"));
  setFixedSize(Dip(kClipWidth), Dip(kClipHeight));
  clock_.start();
  // While the event loop runs the timer moves the clip; while an exchange
  // blocks it, the serial port's idle hook calls Advance.
  timer_.setInterval(kFrameMs / 2);
  connect(&timer_, &QTimer::timeout, this, &TCopyAnimation::Advance);
  timer_.start();
}

void TCopyAnimation::Advance() {
  const int frames = kLastFrame - kFirstFrame + 1;
  const int next = kFirstFrame + static_cast<int>((clock_.elapsed() / kFrameMs) % frames);
  if (next == frame_) return;
  frame_ = next;
  if (isVisible()) repaint();
}

void TCopyAnimation::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  // The clip is centred in the control and leaves its background alone.
  p.translate((width() - Dip(kClipWidth)) / 2.0, (height() - Dip(kClipHeight)) / 2.0);
  p.scale(LayoutScale(), LayoutScale());
  DrawFolder(p, 12, true);
  DrawFolder(p, 208, false);
  const double t = static_cast<double>(frame_ - kFirstFrame) / (kLastFrame - kFirstFrame);
  const QPointF at(kFrom.x() + (kTo.x() - kFrom.x()) * t,
                   kFrom.y() - 4 * kFlightHeight * t * (1 - t));
  DrawDocument(p, at, -30 + 60 * t);
}
