#pragma once
// The key list TouchSTR: a two-column name/value grid. Row 0 is the title row
// ("Номер", "Ключ"), drawn like a header but selectable like any row; entry i
// is row i + 1. An empty list still shows one empty row 1. Cells cannot be
// edited; the columns are resized by dragging their edges in the title row.

#include <QString>
#include <QTableWidget>

class TKeyGrid : public QTableWidget {
  Q_OBJECT

 public:
  explicit TKeyGrid(QWidget* parent);

  int EntryCount() const { return count_; }
  QString EntryName(int index) const;
  QString EntryValue(int index) const;
  void ClearEntries();
  // A placeholder entry holds a value that was not read from any panel: the
  // grid marks it so, and its value stays what it is.
  void AppendEntry(const QString& name, const QString& value, bool placeholder = false);
  // 0 <= index < EntryCount(). The entry is no placeholder afterwards.
  void SetEntry(int index, const QString& name, const QString& value);
  bool IsPlaceholder(int index) const;
  // The row of the current cell, title row included; -1 when there is none.
  int SelectedRow() const { return currentRow(); }

 protected:
  bool viewportEvent(QEvent* event) override;

 private:
  void SetRow(int row, const QString& name, const QString& value, bool placeholder = false);
  // The column whose right edge is under x in the title row, or -1.
  int EdgeAt(const QPoint& at) const;

  int count_ = 0;
  int resizing_ = -1;  // the column being resized by a drag
};
