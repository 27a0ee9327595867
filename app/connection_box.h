#pragma once
// The connection box "Связь с охранной панелью" (xCon): a press of any mouse
// button starts the connection attempt and does not toggle the mark; the
// keyboard (space) toggles only the mark.

#include <QCheckBox>
#include <functional>

class TConnectionBox : public QCheckBox {
  Q_OBJECT

 public:
  explicit TConnectionBox(QWidget* parent) : QCheckBox(parent) {}

  // xConMouseDown.
  std::function<void()> OnMouseDown;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};
