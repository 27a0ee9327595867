#pragma once
// The Touch Memory keys page TMGB: the reader's key e1 with "Читать ключ"
// above the key list TouchSTR. The page is the key list the panel operations
// work on; its texts go to them as code page 1251 bytes.

#include <QGroupBox>
#include <string>

#include "panel/page_interfaces.h"

class PanelSession;

class QLineEdit;
class QPushButton;
class QFrame;
class TKeyGrid;
class TfWait;

class TKeysPage : public QGroupBox, public KeyList {
  Q_OBJECT

 public:
  // waitSlot: the main window's wait window, shown while the reader is read.
  TKeysPage(QWidget* parent, PanelSession& session, TfWait*& waitSlot);

  // "Читать ключ": the key presented to the reader into e1 and the selected
  // row, behind the wait window. What went wrong is told in a box.
  void Button3Click();

  // An entry whose value was read from no panel ("7777777777777777"): the
  // list shows it as not read.
  void AppendPlaceholder(const std::string& name, const std::string& value);
  bool HasPlaceholders() const;
  bool IsPlaceholder(int index) const;

  // The port whose panel the keys were read from (or written to and read
  // back); none after a read that failed, or when the user declined to read.
  // Placeholders count as unread until the panel holds them.
  void MarkReadOn(const std::string& port);
  bool ReadOn(const std::string& port) const;

  // KeyList.
  void Clear() override;
  void Append(const std::string& name, const std::string& value) override;
  int Count() const override;
  std::string Value(int index) const override;
  void SetEntry(int index, const std::string& name, const std::string& value) override;
  int SelectedRow() const override;
  std::string ReaderKey() const override;
  void SetReaderKey(const std::string& key) override;

 private:
  QFrame* Panel2 = nullptr;
  QLineEdit* e1 = nullptr;
  QPushButton* Button3 = nullptr;
  TKeyGrid* TouchSTR = nullptr;

 private:
  PanelSession& session_;
  TfWait*& wait_slot_;
  std::string read_on_;
};
