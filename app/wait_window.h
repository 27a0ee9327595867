#pragma once
// The wait window "Обмен данными", shown while a whole-panel read or write
// runs: small, topmost, centred, with the copy animation.

#include <QWidget>

class TCopyAnimation;

class TfWait : public QWidget {
  Q_OBJECT

 public:
  // A new window owned by owner; not shown yet.
  explicit TfWait(QWidget* owner);

  // Shows the window and has it drawn on the screen before the caller blocks
  // the thread: a new window that sees no event processing is never exposed.
  void ShowDrawn();
  // Called by the serial port's idle hook while an exchange waits.
  void Animate();

 protected:
  // FormClose: a close request only hides the window.
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  TCopyAnimation* Animate1 = nullptr;
  // A paint of the exposed window has happened since ShowDrawn began.
  bool painted_ = false;
};

// The wait window of one operation: created, shown and drawn when the scope
// begins, destroyed when it ends, also when an error ends it. The window is
// reachable through slot meanwhile.
class TWaitScope {
 public:
  TWaitScope(QWidget* owner, TfWait*& slot);
  ~TWaitScope();
  TWaitScope(const TWaitScope&) = delete;
  TWaitScope& operator=(const TWaitScope&) = delete;

 private:
  TfWait*& slot_;
};
