#pragma once
// The key filter of the six number fields NumE1 ... NumE6: what the user
// enters is digits, "+" and backspace, at most 15 characters; with Ctrl alone
// held every character passes, so that the clipboard and undo shortcuts work
// and pasted text is not filtered. Text that the program puts into a field
// (a number read from the panel, restored contents) is held to neither rule.

#include <QClipboard>
#include <QObject>

class QKeyEvent;
class QLineEdit;

// True when the last key that went down in a number field had Ctrl alone held.
extern bool CtrlHeld;

class TNumberKeyFilter : public QObject {
 public:
  static constexpr int kTypedLimit = 15;

  explicit TNumberKeyFilter(QObject* parent) : QObject(parent) {}

  // Puts a field under the filter.
  void Attach(QLineEdit* edit);

  // NumE1KeyDown: runs for every key that goes down in a field.
  static void NumE1KeyDown(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
  // NumE1KeyPress: false when the character is to be discarded.
  static bool NumE1KeyPress(QChar key);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool KeyDown(QLineEdit* edit, QKeyEvent* key);
  void ShowContextMenu(QLineEdit* edit, const QPoint& globalPos);
};

// Pastes as much of the clipboard as the 15 characters leave room for.
void PasteWithinLimit(QLineEdit* edit, QClipboard::Mode mode = QClipboard::Clipboard);
