#include "app/keys_page.h"

#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/error_display.h"
#include "app/key_grid.h"
#include "app/panel_text.h"
#include "app/window_metrics.h"
#include "panel/page_link.h"
#include "panel/panel_session.h"

TKeysPage::TKeysPage(QWidget* parent, PanelSession& session)
    : QGroupBox(QStringLiteral("Ключи Touch Memory"), parent), session_(session) {
  setObjectName(QStringLiteral("TMGB"));

  Panel2 = new QFrame(this);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  Panel2->setFrameShape(QFrame::NoFrame);
  Panel2->setFixedHeight(Dip(50));
  e1 = new QLineEdit(Panel2);
  e1->setObjectName(QStringLiteral("e1"));
  e1->setGeometry(DipRect(16, 12, 225, 21));
  Button3 = new QPushButton(QStringLiteral("Читать ключ"), Panel2);
  Button3->setObjectName(QStringLiteral("Button3"));
  Button3->setGeometry(DipRect(248, 10, 97, 25));
  Button3->setAutoDefault(false);
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });

  TouchSTR = new TKeyGrid(this);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(Dip(2), 0, Dip(2), Dip(2));
  layout->setSpacing(0);
  layout->addWidget(Panel2);
  layout->addWidget(TouchSTR, 1);

  setTabOrder(e1, Button3);
  setTabOrder(Button3, TouchSTR);
}

void TKeysPage::Button3Click() {
  RunHandler([this] { session_.ReadPresented(*this); });
}

void TKeysPage::Clear() {
  TouchSTR->ClearEntries();
}

void TKeysPage::Append(const std::string& name, const std::string& value) {
  TouchSTR->AppendEntry(FromPanelText(name), FromPanelText(value));
}

int TKeysPage::Count() const {
  return TouchSTR->EntryCount();
}

std::string TKeysPage::Value(int index) const {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  return ToPanelText(TouchSTR->EntryValue(index));
}

void TKeysPage::SetEntry(int index, const std::string& name, const std::string& value) {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  TouchSTR->SetEntry(index, FromPanelText(name), FromPanelText(value));
}

int TKeysPage::SelectedRow() const {
  return TouchSTR->SelectedRow();
}

std::string TKeysPage::ReaderKey() const {
  return ToPanelText(e1->text());
}

void TKeysPage::SetReaderKey(const std::string& key) {
  e1->setText(FromPanelText(key));
}
