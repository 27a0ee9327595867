#pragma once
// The prompter over Qt's message boxes: the texts as given, the titles and
// icons of their type, the toolkit's "&Yes", "&No" and "OK" buttons; the
// toolkit's file dialogs.

#include "app/prompter.h"

class TMessageBoxes : public Prompter {
 public:
  bool AskYesNo(const QString& text) override;
  void Confirm(const QString& text, const QString& details = QString()) override;
  void ShowError(const QString& text) override;
  void Inform(const QString& text) override;
  void Warn(const QString& text) override;
  QString AskSaveFileName(const QString& title, const QString& suggested) override;
  QString AskOpenFileName(const QString& title, const QString& folder) override;
  void ShowDefaultError(const QString& text) override;
};
