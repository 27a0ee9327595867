#pragma once
// The prompter over Qt's message boxes: the texts as given, the titles and
// icons of their type, the toolkit's "&Yes", "&No" and "OK" buttons.

#include "app/prompter.h"

class TMessageBoxes : public Prompter {
 public:
  bool AskYesNo(const QString& text) override;
  void Confirm(const QString& text) override;
  void ShowError(const QString& text) override;
  void Inform(const QString& text) override;
  void ShowDefaultError(const QString& text) override;
};
