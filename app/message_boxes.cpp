#include "app/message_boxes.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QTextDocument>
#include <QTextEdit>
#include <cmath>

#include "app/window_metrics.h"
#include "support/form_state.h"

namespace {

const char* const kFileFilter = "Файлы настроек (*.txt);;Все файлы (*)";

// Every box and dialog belongs to the main window, also before it is first
// shown: an owned window stays above its owner (a box without one may open
// behind the main window on Windows).
QWidget* Owner() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == QLatin1String(kMainWindowName)) return widget;
  }
  return QApplication::activeWindow();
}

// The details show every line at once: one line per port tried and the
// remedies, no scrolling. Qt gives the details a fixed height of a few lines.
void FitDetails(QMessageBox& box) {
  auto* lines = box.findChild<QTextEdit*>();
  if (lines == nullptr) return;
  // Measured in the font the box is shown in: on Windows the style gives the
  // box its own font only when it is polished. Lines wrap at a width that
  // leaves room for a scroll bar, so that how they wrap does not depend on
  // whether one shows, which depends on the height set here.
  box.ensurePolished();
  lines->ensurePolished();
  const int frame = 2 * lines->frameWidth();
  const int width = Dip(560);
  const int wrap = width - frame - lines->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  lines->setLineWrapMode(QTextEdit::FixedPixelWidth);
  lines->setLineWrapColumnOrWidth(wrap);
  QTextDocument* document = lines->document();
  document->setDefaultFont(lines->font());
  document->setTextWidth(wrap);
  int height = static_cast<int>(std::ceil(document->size().height())) + frame + Dip(4);
  if (const QScreen* screen = Owner() ? Owner()->screen() : QGuiApplication::primaryScreen())
    height = qMin(height, screen->availableGeometry().height() * 2 / 3);
  lines->setMinimumWidth(width);
  lines->setFixedHeight(height);
}

// A box whose only button is Yes has no cancel button: neither Esc nor the
// title bar's close button may end it. Qt would make a lone button the
// escape button, so the box keeps both away itself.
class TBox : public QMessageBox {
 public:
  TBox(Icon icon, const QString& title, const QString& text, StandardButtons buttons,
       bool withoutCancel)
      : QMessageBox(icon, title, text, buttons, Owner()), without_cancel_(withoutCancel) {
    setTextFormat(Qt::PlainText);
    if (without_cancel_) setWindowFlag(Qt::WindowCloseButtonHint, false);
    FitLines(text);
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (without_cancel_ && event->key() == Qt::Key_Escape) {
      event->accept();
      return;
    }
    QMessageBox::keyPressEvent(event);
  }
  // A text of several lines is a list (fields and their values): each line
  // is read whole, not wrapped at the toolkit's narrow default width.
  void FitLines(const QString& text) {
    const QStringList lines = text.split(QChar('\n'));
    if (lines.size() < 3) return;
    auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (label == nullptr) return;
    int widest = 0;
    for (const QString& line : lines)
      widest = qMax(widest, label->fontMetrics().horizontalAdvance(line));
    label->setMinimumWidth(qMin(widest + Dip(8), WidestLabel()));
  }
  // Qt never lets a box grow wider than its screen's width less 480 pixels
  // (the whole width on screens up to 1024 pixels) and cuts off whatever
  // the label asks beyond that; a line longer than what is left beside the
  // icon is wrapped instead.
  int WidestLabel() const {
    const QScreen* shown = Owner() ? Owner()->screen() : QGuiApplication::primaryScreen();
    if (shown == nullptr) return Dip(600);
    const int screenWidth = shown->availableGeometry().width();
    const int boxLimit = screenWidth <= 1024 ? screenWidth : qMin(screenWidth - 480, 1000);
    return qMin(Dip(760), boxLimit - Dip(140));
  }

  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    // Before the main window is first shown its place is not yet its own:
    // the boxes of the start-up take the middle of the screen.
    const QWidget* owner = parentWidget();
    if (owner != nullptr && !owner->isVisible() && screen() != nullptr)
      move(screen()->availableGeometry().center() - rect().center());
  }
  void closeEvent(QCloseEvent* event) override {
    if (without_cancel_) {
      event->ignore();
      return;
    }
    QMessageBox::closeEvent(event);
  }

 private:
  bool without_cancel_;
};

}  // namespace

bool TMessageBoxes::AskYesNo(const QString& text) {
  TBox box(QMessageBox::Question, QStringLiteral("Confirm"), text,
           QMessageBox::Yes | QMessageBox::No, false);
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  box.exec();
  return box.clickedButton() == box.button(QMessageBox::Yes);
}

void TMessageBoxes::Confirm(const QString& text, const QString& details) {
  TBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::Yes, true);
  if (!details.isEmpty()) {
    box.setDetailedText(details);
    FitDetails(box);
  }
  box.setDefaultButton(QMessageBox::Yes);
  box.exec();
}

void TMessageBoxes::ShowError(const QString& text) {
  TBox box(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Yes, true);
  box.setDefaultButton(QMessageBox::Yes);
  box.exec();
}

void TMessageBoxes::Inform(const QString& text) {
  TBox box(QMessageBox::Information, QStringLiteral("Information"), text, QMessageBox::Ok, false);
  box.setDefaultButton(QMessageBox::Ok);
  box.exec();
}

void TMessageBoxes::Warn(const QString& text) {
  TBox box(QMessageBox::Warning, QStringLiteral("Warning"), text, QMessageBox::Ok, false);
  box.setDefaultButton(QMessageBox::Ok);
  box.exec();
}

QString TMessageBoxes::AskSaveFileName(const QString& title, const QString& suggested) {
  return QFileDialog::getSaveFileName(Owner(), title, suggested, QString::fromUtf8(kFileFilter));
}

QString TMessageBoxes::AskOpenFileName(const QString& title, const QString& folder) {
  return QFileDialog::getOpenFileName(Owner(), title, folder, QString::fromUtf8(kFileFilter));
}

void TMessageBoxes::ShowDefaultError(const QString& text) {
  TBox box(QMessageBox::Critical, QStringLiteral("Orvex-GSM"), text, QMessageBox::Ok, false);
  box.setDefaultButton(QMessageBox::Ok);
  box.exec();
}
