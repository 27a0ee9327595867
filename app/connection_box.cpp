#include "app/connection_box.h"

#include <QMouseEvent>

void TConnectionBox::mousePressEvent(QMouseEvent* event) {
  // The base class is left out: it would arm the click that toggles the mark
  // on release. What the mark shows is whatever the attempt leaves.
  event->accept();
  if (OnMouseDown) OnMouseDown();
}

void TConnectionBox::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
}
