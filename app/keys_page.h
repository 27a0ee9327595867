#pragma once
// The Touch Memory keys page TMGB: the reader's key e1 with "Читать ключ"
// above the key list TouchSTR. The page is the key list the panel operations
// work on; its texts go to them as code page 1251 bytes.

#include <QGroupBox>

#include "panel/page_interfaces.h"

class PanelSession;

class QLineEdit;
class QPushButton;
class QFrame;
class TKeyGrid;

class TKeysPage : public QGroupBox, public KeyList {
  Q_OBJECT

 public:
  TKeysPage(QWidget* parent, PanelSession& session);

  // "Читать ключ": the key presented to the reader into e1 and the selected
  // row. Errors go to the default error display.
  void Button3Click();

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
};
