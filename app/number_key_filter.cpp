#include "app/number_key_filter.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <memory>

bool CtrlHeld = false;

namespace {

// Characters the user can still add: a selection is replaced by what comes.
int Room(const QLineEdit* edit) {
  return TNumberKeyFilter::kTypedLimit -
         static_cast<int>(edit->text().size() - edit->selectedText().size());
}

// Keys that move focus or delete forward give the field no character.
bool GivesNoCharacter(const QKeyEvent* key) {
  switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
      return true;
    default:
      return key->text().isEmpty();
  }
}

}  // namespace

void PasteWithinLimit(QLineEdit* edit, QClipboard::Mode mode) {
  const QString clip = QGuiApplication::clipboard()->text(mode);
  if (clip.isEmpty() && !edit->hasSelectedText()) return;
  edit->insert(clip.left(qMax(0, Room(edit))));
}

void TNumberKeyFilter::Attach(QLineEdit* edit) {
  edit->setAcceptDrops(false);
  edit->installEventFilter(this);
}

void TNumberKeyFilter::NumE1KeyDown(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  // The keypad flag tells where a key is, not what is held.
  const Qt::KeyboardModifiers held = modifiers & ~Qt::KeypadModifier;
  CtrlHeld = held == Qt::ControlModifier && buttons == Qt::NoButton;
}

bool TNumberKeyFilter::NumE1KeyPress(QChar key) {
  if (CtrlHeld) return true;
  return key == QChar(8) || key == QChar('+') || (key >= QChar('0') && key <= QChar('9'));
}

bool TNumberKeyFilter::KeyDown(QLineEdit* edit, QKeyEvent* key) {
  NumE1KeyDown(key->modifiers(), QGuiApplication::mouseButtons());
  if (key->matches(QKeySequence::Paste)) {
    // Shift+Insert gives no character; Ctrl+V passes with Ctrl alone held.
    const bool passes = GivesNoCharacter(key) || NumE1KeyPress(key->text().at(0));
    if (passes) PasteWithinLimit(edit);
    return true;
  }
  if (GivesNoCharacter(key)) return false;
  const QChar character = key->text().at(0);
  if (!NumE1KeyPress(character)) return true;
  return character.isPrint() && Room(edit) <= 0;
}

void TNumberKeyFilter::ShowContextMenu(QLineEdit* edit, const QPoint& globalPos) {
  std::unique_ptr<QMenu> menu(edit->createStandardContextMenu());
  if (QAction* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"))) {
    disconnect(paste, &QAction::triggered, nullptr, nullptr);
    connect(paste, &QAction::triggered, edit, [edit] { PasteWithinLimit(edit); });
  }
  menu->exec(globalPos);
}

bool TNumberKeyFilter::eventFilter(QObject* watched, QEvent* event) {
  auto* edit = qobject_cast<QLineEdit*>(watched);
  if (edit == nullptr || edit->isReadOnly()) return false;
  switch (event->type()) {
    case QEvent::KeyPress:
      return KeyDown(edit, static_cast<QKeyEvent*>(event));
    case QEvent::InputMethod: {
      // Characters composed by an input method are typed characters too.
      auto* input = static_cast<QInputMethodEvent*>(event);
      QString kept;
      for (QChar c : input->commitString()) {
        if (c.isPrint() && NumE1KeyPress(c)) kept += c;
      }
      kept.truncate(qMax(0, Room(edit)));
      input->setCommitString(kept, input->replacementStart(), input->replacementLength());
      return false;
    }
    case QEvent::ContextMenu:
      ShowContextMenu(edit, static_cast<QContextMenuEvent*>(event)->globalPos());
      return true;
    case QEvent::MouseButtonRelease: {
      // The X11 selection paste of the middle button.
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::MiddleButton) return false;
      if (QGuiApplication::clipboard()->supportsSelection()) {
        PasteWithinLimit(edit, QClipboard::Selection);
      }
      return true;
    }
    default:
      return false;
  }
}
