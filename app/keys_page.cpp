#include "app/keys_page.h"

#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/error_display.h"
#include "app/key_grid.h"
#include "app/panel_text.h"
#include "app/wait_window.h"
#include "app/window_metrics.h"
#include "panel/page_link.h"
#include "panel/panel_image.h"
#include "panel/panel_session.h"
#include "panel/presented_key.h"
#include "support/log.h"
#include "support/text_codec.h"

namespace {

void Log(const std::string& utf8) {
  WriteLog(Utf8ToCp1251(utf8), true, EmptyData);
}

}  // namespace

TKeysPage::TKeysPage(QWidget* parent, PanelSession& session, TfWait*& waitSlot)
    : QGroupBox(QStringLiteral("Ключи Touch Memory"), parent),
      session_(session),
      wait_slot_(waitSlot) {
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
  connect(Button3, &QPushButton::clicked, this, [this] { RunHandler([this] { Button3Click(); }); });

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
  const int row = SelectedRow();
  if (row < 1) return;  // the title row: nothing is sent
  PresentedKeyRead read;
  try {
    if (!session_.PortOpen()) throw EPortNotOpen(session_.PortName());
    // The panel waits up to five seconds for a key: the user sees why the
    // window does not respond meanwhile.
    TWaitScope wait(window(), wait_slot_);
    read = ReadPresentedKeyExactly(session_);
  } catch (...) {
    ShowCurrentError();
    return;
  }
  switch (read.outcome) {
    case PresentedKey::kNoKey:
      Log("Ключ у считывателя не прочитан: ключ не приложен");
      ShowDefaultError(QString::fromUtf8(
          "К считывателю охранной панели не приложен ключ: за 5 секунд панель не прочитала ни "
          "одного. Приложите ключ к считывателю и нажмите «Читать ключ» ещё раз."));
      return;
    case PresentedKey::kNotAKey:
      Log("Ключ у считывателя не прочитан: ответ не ключ: \"" +
          EscapedBytes(read.story.steps.back().came + read.story.steps.back().after) + "\"");
      ShowDefaultError(
          QString::fromUtf8("Ответ охранной панели на «Читать ключ» не похож на ключ (16 "
                            "шестнадцатеричных цифр): ключ не прочитан, список не изменён. "
                            "Приложите ключ к считывателю и нажмите «Читать ключ» ещё раз."));
      return;
    case PresentedKey::kKey:
      break;
  }
  SetReaderKey(read.key);
  if (row - 1 >= Count()) {
    ShowDefaultError(QString::fromUtf8("Ключ прочитан в поле над списком, но в списке ключей нет "
                                       "строки %1: прочитайте настройки из охранной панели, "
                                       "чтобы список заполнился.")
                         .arg(row));
    return;
  }
  SetEntry(row - 1, std::to_string(row), read.key);
}

void TKeysPage::AppendPlaceholder(const std::string& name, const std::string& value) {
  TouchSTR->AppendEntry(FromPanelText(name), FromPanelText(value), true);
}

bool TKeysPage::HasPlaceholders() const {
  for (int i = 0; i < Count(); ++i)
    if (TouchSTR->IsPlaceholder(i)) return true;
  return false;
}

bool TKeysPage::IsPlaceholder(int index) const {
  return index >= 0 && index < Count() && TouchSTR->IsPlaceholder(index);
}

void TKeysPage::MarkReadOn(const std::string& port) {
  read_on_ = port;
  if (port.empty()) return;
  for (int i = 0; i < Count(); ++i) {
    if (TouchSTR->IsPlaceholder(i))
      TouchSTR->SetEntry(i, TouchSTR->EntryName(i), TouchSTR->EntryValue(i));
  }
}

bool TKeysPage::ReadOn(const std::string& port) const {
  return !read_on_.empty() && read_on_ == port && Count() > 0 && !HasPlaceholders();
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
