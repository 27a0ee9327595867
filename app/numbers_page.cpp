#include "app/numbers_page.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/error_display.h"
#include "app/number_key_filter.h"
#include "app/panel_text.h"
#include "app/window_metrics.h"
#include "panel/panel_session.h"
#include "panel/reply_checks.h"

namespace {

// Rows of Panel4, events 1 to 6: the caption's label and top, the field's
// top, the boxes' top.
struct RowPlace {
  const char* label;
  int captionTop;
  int fieldTop;
  int boxTop;
};
constexpr std::array<RowPlace, kEventCount> kRowPlaces = {{
    {"Label5", 17, 16, 24},
    {"Label7", 51, 48, 56},
    {"Label6", 82, 80, 88},
    {"Label8", 117, 112, 120},
    {"Label4", 150, 144, 152},
    {"Label3", 184, 180, 184},
}};

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
                 bool bold) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  if (bold) label->setFont(BoldWindowFont());
  label->move(Dip(left), Dip(top));
  label->adjustSize();
  return label;
}

QCheckBox* NewBox(QWidget* parent, const char* name, int left, int top) {
  auto* box = new QCheckBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setGeometry(DipRect(left, top, 17, 17));
  box->setChecked(true);
  return box;
}

QPushButton* NewButton(QWidget* parent, const char* name, const QString& text, int left) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(DipRect(left, 280, 75, 25));
  button->setAutoDefault(false);
  return button;
}

}  // namespace

TNumbersPage::TNumbersPage(QWidget* parent, PanelSession& session)
    : QGroupBox(QStringLiteral("Номера дозвона"), parent), session_(session) {
  setObjectName(QStringLiteral("NumbersGB"));
  NewLabel(this, "Label1", QStringLiteral("Событие"), 56, 24, true);
  NewLabel(this, "Label2", QStringLiteral("Номер телефона"), 168, 24, true);
  NewLabel(this, "Label9", QStringLiteral("Дозвон"), 304, 24, true);
  NewLabel(this, "Label10", QStringLiteral("24 часа"), 384, 24, true);

  Panel4 = new QFrame(this);
  Panel4->setObjectName(QStringLiteral("Panel4"));
  Panel4->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel4->setLineWidth(1);
  Panel4->setGeometry(DipRect(16, 48, 465, 217));
  key_filter_ = new TNumberKeyFilter(this);
  BuildRows();

  ReadNumsB = NewButton(this, "ReadNumsB", QStringLiteral("Прочитать"), 24);
  WriteNumsB = NewButton(this, "WriteNumsB", QStringLiteral("Записать"), 112);
  connect(ReadNumsB, &QPushButton::clicked, this,
          [this] { RunHandler([this] { ReadNumsBClick(); }); });
  connect(WriteNumsB, &QPushButton::clicked, this,
          [this] { RunHandler([this] { WriteNumsBClick(); }); });
  SetTabOrder();
}

void TNumbersPage::BuildRows() {
  for (const PanelEvent& event : kPanelEvents) {
    const RowPlace& place = kRowPlaces.at(Row(event.number));
    EventRow& row = rows_.at(Row(event.number));
    row.caption = NewLabel(Panel4, place.label, QString::fromUtf8(event.caption), 16,
                           place.captionTop, false);
    row.number = new QLineEdit(Panel4);
    row.number->setObjectName(QString::fromLatin1(event.numberField));
    row.number->setGeometry(DipRect(144, place.fieldTop, 121, 21));
    key_filter_->Attach(row.number);
    row.dial = NewBox(Panel4, event.dialBox, 304, place.boxTop);
    row.day = NewBox(Panel4, event.dayBox, 384, place.boxTop);
    QCheckBox* dial = row.dial;
    // toggled, not clicked: a change made by the program counts as a click,
    // and setting the state a box already has is no change.
    connect(dial, &QCheckBox::toggled, this, [this, dial] { Call1Click(dial); });
  }
}

void TNumbersPage::SetTabOrder() {
  QWidget* previous = nullptr;
  auto chain = [&previous](QWidget* next) {
    if (previous) setTabOrder(previous, next);
    previous = next;
  };
  for (const EventRow& row : rows_) chain(row.number);
  for (const EventRow& row : rows_) chain(row.dial);
  for (const EventRow& row : rows_) chain(row.day);
  chain(WriteNumsB);
  chain(ReadNumsB);
}

void TNumbersPage::ReadNumsBClick() {
  try {
    session_.ReadNumbers(*this);
    read_on_ = session_.PortName();
  } catch (const EOperationFailed&) {
    // What the page shows now is no longer known to be the panel's.
    read_on_.clear();
    // On a closed port nothing was sent: no reply is missing.
    if (!session_.PortOpen()) throw EPortNotOpen(session_.PortName());
    throw;
  } catch (...) {
    read_on_.clear();
    throw;
  }
}

void TNumbersPage::WriteNumsBClick() {
  if (writer_) writer_();
}

void TNumbersPage::Call1Click(QCheckBox* sender) {
  const QString name = sender->objectName();
  if (name.isEmpty()) return;
  const QString fieldName = QStringLiteral("NumE") + name.back();
  if (auto* field = window()->findChild<QLineEdit*>(fieldName)) {
    field->setEnabled(sender->isChecked());
  }
}

void TNumbersPage::SetEnabled(bool enabled) {
  setEnabled(enabled);
}

void TNumbersPage::SetSpareBoxesVisible(bool visible) {
  for (int event : {5, 6}) {
    Call(event)->setVisible(visible);
    H24(event)->setVisible(visible);
  }
}

bool TNumbersPage::DialTicked(int event) const {
  return Call(event)->isChecked();
}

void TNumbersPage::SetDialTicked(int event, bool ticked) {
  Call(event)->setChecked(ticked);
}

bool TNumbersPage::DayTicked(int event) const {
  return H24(event)->isChecked();
}

void TNumbersPage::SetDayTicked(int event, bool ticked) {
  H24(event)->setChecked(ticked);
}

std::string TNumbersPage::NumberText(int event) const {
  return ToPanelText(NumE(event)->text());
}

void TNumbersPage::SetNumberText(int event, const std::string& text) {
  NumE(event)->setText(FromPanelText(text));
}
