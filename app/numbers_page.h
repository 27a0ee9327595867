#pragma once
// The dialing numbers page NumbersGB: per panel event its caption, number
// field NumEn, dial box Calln and 24-hour box H24n, with "Прочитать" and
// "Записать". The page is the numbers page the panel operations work on.

#include <QGroupBox>
#include <array>
#include <functional>
#include <string>

#include "panel/commands.h"
#include "panel/page_interfaces.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class TNumberKeyFilter;
class PanelSession;

class TNumbersPage : public QGroupBox, public NumbersPage {
  Q_OBJECT

 public:
  TNumbersPage(QWidget* parent, PanelSession& session);

  // The page's read; errors pass to the caller (EPortNotOpen when nothing
  // could be sent).
  void ReadNumsBClick();
  // The page's write: the flags and the six numbers, written, read back and
  // compared by the main window, which tells the result.
  void WriteNumsBClick();
  void SetWriter(std::function<void()> writer) { writer_ = std::move(writer); }

  // The port whose panel the page was read from; none after a read that
  // failed, or when the user declined to read.
  void MarkReadOn(const std::string& port) { read_on_ = port; }
  bool ReadOn(const std::string& port) const { return !read_on_.empty() && read_on_ == port; }
  // Click handler of the dial boxes, run on every change of their state:
  // the number field of the sender's event is enabled exactly when the box is
  // ticked. The field is found by name: "NumE" and the last character of the
  // sender's name.
  void Call1Click(QCheckBox* sender);

  // NumbersPage.
  void SetEnabled(bool enabled) override;
  void SetSpareBoxesVisible(bool visible) override;
  bool DialTicked(int event) const override;
  void SetDialTicked(int event, bool ticked) override;
  bool DayTicked(int event) const override;
  void SetDayTicked(int event, bool ticked) override;
  std::string NumberText(int event) const override;
  void SetNumberText(int event, const std::string& text) override;

 private:
  QLineEdit* NumE(int event) const { return rows_.at(Row(event)).number; }
  QCheckBox* Call(int event) const { return rows_.at(Row(event)).dial; }
  QCheckBox* H24(int event) const { return rows_.at(Row(event)).day; }

  QFrame* Panel4 = nullptr;
  QPushButton* ReadNumsB = nullptr;
  QPushButton* WriteNumsB = nullptr;

  struct EventRow {
    QLabel* caption = nullptr;
    QLineEdit* number = nullptr;
    QCheckBox* dial = nullptr;
    QCheckBox* day = nullptr;
  };
  static size_t Row(int event) { return static_cast<size_t>(event - 1); }
  void BuildRows();
  void SetTabOrder();

  std::array<EventRow, kEventCount> rows_;
  TNumberKeyFilter* key_filter_ = nullptr;
  PanelSession& session_;
  std::function<void()> writer_;
  std::string read_on_;
};
