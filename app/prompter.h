#pragma once
// Every question and message of the window goes through one prompter: the
// program shows message boxes, tests answer from a script.

#include <QString>

class Prompter {
 public:
  virtual ~Prompter() = default;
  // Confirmation box ("Confirm", question icon) with Yes (default, Enter) and
  // No (Esc). True only for Yes; closing the box without a choice is No.
  virtual bool AskYesNo(const QString& text) = 0;
  // Confirmation box with the single button Yes; Esc does not close it.
  // Details, when given, are shown on request below the text.
  virtual void Confirm(const QString& text, const QString& details = QString()) = 0;
  // Error box ("Error", stop icon) with the single button Yes; Esc does not
  // close it.
  virtual void ShowError(const QString& text) = 0;
  // Information box ("Information", information icon) with the single
  // button OK; Esc closes it.
  virtual void Inform(const QString& text) = 0;
  // Warning box ("Warning", exclamation icon) with the single button OK; Esc
  // closes it.
  virtual void Warn(const QString& text) = 0;
  // The file to save to, suggested first; empty when the user cancels.
  virtual QString AskSaveFileName(const QString& title, const QString& suggested) = 0;
  // An existing file to open, looked for in folder; empty when cancelled.
  virtual QString AskOpenFileName(const QString& title, const QString& folder) = 0;
  // The application's default error display: text as given, caption
  // "Orvex-GSM", error icon, one OK button.
  virtual void ShowDefaultError(const QString& text) = 0;
};

// The prompter in use: the one installed last. The program installs the
// message boxes (message_boxes.h) at start, tests a scripted one; with none
// installed nothing is shown and every question is answered No.
Prompter& CurrentPrompter();
// Installs a prompter (null: none) and returns the one it replaces.
Prompter* SetPrompter(Prompter* prompter);
