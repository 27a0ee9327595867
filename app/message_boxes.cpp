#include "app/message_boxes.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>

#include "app/window_metrics.h"

namespace {

const char* const kFileFilter = "Файлы настроек (*.txt);;Все файлы (*)";

// A box whose only button is Yes has no cancel button: neither Esc nor the
// title bar's close button may end it. Qt would make a lone button the
// escape button, so the box keeps both away itself.
class TBox : public QMessageBox {
 public:
  TBox(Icon icon, const QString& title, const QString& text, StandardButtons buttons,
       bool withoutCancel)
      : QMessageBox(icon, title, text, buttons), without_cancel_(withoutCancel) {
    setTextFormat(Qt::PlainText);
    if (without_cancel_) setWindowFlag(Qt::WindowCloseButtonHint, false);
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (without_cancel_ && event->key() == Qt::Key_Escape) {
      event->accept();
      return;
    }
    QMessageBox::keyPressEvent(event);
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
    // A line for each port tried: as narrow as the short text, the details
    // would wrap every one of them.
    if (auto* lines = box.findChild<QTextEdit*>()) lines->setMinimumWidth(Dip(480));
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
  return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, suggested,
                                      QString::fromUtf8(kFileFilter));
}

QString TMessageBoxes::AskOpenFileName(const QString& title, const QString& folder) {
  return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, folder,
                                      QString::fromUtf8(kFileFilter));
}

void TMessageBoxes::ShowDefaultError(const QString& text) {
  TBox box(QMessageBox::Critical, QStringLiteral("Orvex-GSM"), text, QMessageBox::Ok, false);
  box.setDefaultButton(QMessageBox::Ok);
  box.exec();
}
