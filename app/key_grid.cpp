#include "app/key_grid.h"

#include <QHeaderView>
#include <QMouseEvent>

#include "app/window_metrics.h"

namespace {

constexpr int kTitleRow = 0;
constexpr int kEdgeGrip = 3;  // pixels either side of a column edge
constexpr int kMinColumnWidth = 8;
// The value of an entry, whatever its cell shows beside it.
constexpr int kValueRole = Qt::UserRole;
constexpr int kPlaceholderRole = Qt::UserRole + 1;

QTableWidgetItem* NewCell(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

}  // namespace

TKeyGrid::TKeyGrid(QWidget* parent) : QTableWidget(2, 2, parent) {
  setObjectName(QStringLiteral("TouchSTR"));
  horizontalHeader()->hide();
  verticalHeader()->hide();
  verticalHeader()->setMinimumSectionSize(Dip(12));
  verticalHeader()->setDefaultSectionSize(Dip(18));
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setTabKeyNavigation(false);
  setWordWrap(false);
  setMouseTracking(true);
  setColumnWidth(0, Dip(49));
  setColumnWidth(1, Dip(294));
  const QBrush titleFace = palette().button();
  for (int column = 0; column < 2; ++column) {
    QTableWidgetItem* title =
        NewCell(column == 0 ? QStringLiteral("Номер") : QStringLiteral("Ключ"));
    title->setBackground(titleFace);
    setItem(kTitleRow, column, title);
  }
  SetRow(1, {}, {});
  setCurrentCell(1, 1);
}

QString TKeyGrid::EntryName(int index) const {
  return item(index + 1, 0)->text();
}

QString TKeyGrid::EntryValue(int index) const {
  return item(index + 1, 1)->data(kValueRole).toString();
}

bool TKeyGrid::IsPlaceholder(int index) const {
  return item(index + 1, 1)->data(kPlaceholderRole).toBool();
}

void TKeyGrid::ClearEntries() {
  const int column = qMax(currentColumn(), 0);
  count_ = 0;
  setRowCount(2);
  SetRow(1, {}, {});
  // A selection below the rows that are left moves up to the empty row.
  if (currentRow() < 0 || currentRow() > 1) setCurrentCell(1, column);
}

void TKeyGrid::AppendEntry(const QString& name, const QString& value, bool placeholder) {
  // The first entry takes the empty row that an empty list shows.
  if (count_ > 0) insertRow(count_ + 1);
  SetRow(count_ + 1, name, value, placeholder);
  ++count_;
}

void TKeyGrid::SetEntry(int index, const QString& name, const QString& value) {
  SetRow(index + 1, name, value);
}

void TKeyGrid::SetRow(int row, const QString& name, const QString& value, bool placeholder) {
  setItem(row, 0, NewCell(name));
  QTableWidgetItem* cell = NewCell(value);
  cell->setData(kValueRole, value);
  cell->setData(kPlaceholderRole, placeholder);
  if (placeholder) {
    // Not a key of this panel: a value that only fills the row until a read.
    cell->setText(value + QString::fromUtf8("  — не прочитан из панели"));
    cell->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
    cell->setToolTip(
        QString::fromUtf8("Ключ не прочитан из охранной панели: запись в панель сначала спросит."));
  }
  setItem(row, 1, cell);
}

int TKeyGrid::EdgeAt(const QPoint& at) const {
  if (rowAt(at.y()) != kTitleRow) return -1;
  for (int column = 0; column < columnCount(); ++column) {
    const int edge = columnViewportPosition(column) + columnWidth(column);
    if (qAbs(at.x() - edge) <= kEdgeGrip) return column;
  }
  return -1;
}

bool TKeyGrid::viewportEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton) {
        resizing_ = EdgeAt(mouse->position().toPoint());
        if (resizing_ >= 0) return true;
      }
      break;
    }
    case QEvent::MouseMove: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      const QPoint at = mouse->position().toPoint();
      if (resizing_ >= 0) {
        setColumnWidth(resizing_,
                       qMax(Dip(kMinColumnWidth), at.x() - columnViewportPosition(resizing_)));
        return true;
      }
      if (EdgeAt(at) >= 0) {
        viewport()->setCursor(Qt::SplitHCursor);
      } else {
        viewport()->unsetCursor();
      }
      break;
    }
    case QEvent::MouseButtonRelease:
      if (resizing_ >= 0) {
        resizing_ = -1;
        return true;
      }
      break;
    default:
      break;
  }
  return QTableWidget::viewportEvent(event);
}
