#pragma once
// The wait window's animation: documents flying from one folder to another,
// frames 1 to 31 over and over, drawn on the window's own background.

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class TCopyAnimation : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kFirstFrame = 1;
  static constexpr int kLastFrame = 31;
  static constexpr int kFrameMs = 60;

  explicit TCopyAnimation(QWidget* parent);

  int Frame() const { return frame_; }
  // Moves the clip on to the frame that the time since its start asks for
  // and, when that is a new frame, paints it at once: while an exchange
  // blocks the thread no paint event would ever be dispatched.
  void Advance();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QElapsedTimer clock_;
  QTimer timer_;
  int frame_ = kFirstFrame;
};
