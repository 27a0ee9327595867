#include "app/prompter.h"

#include <cstdio>

namespace {

// Until a program installs its prompter: nothing is shown, every question is
// answered No, and what would have been shown goes to the error stream.
class TUnattendedPrompter : public Prompter {
 public:
  bool AskYesNo(const QString& text) override {
    Tell(text);
    return false;
  }
  void Confirm(const QString& text, const QString& details) override {
    Tell(text);
    if (!details.isEmpty()) Tell(details);
  }
  void ShowError(const QString& text) override { Tell(text); }
  void Inform(const QString& text) override { Tell(text); }
  void Warn(const QString& text) override { Tell(text); }
  QString AskSaveFileName(const QString& title, const QString&) override {
    Tell(title);
    return {};
  }
  QString AskOpenFileName(const QString& title, const QString&) override {
    Tell(title);
    return {};
  }
  void ShowDefaultError(const QString& text) override { Tell(text); }

 private:
  static void Tell(const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); }
};

Prompter* g_prompter = nullptr;

}  // namespace

Prompter& CurrentPrompter() {
  static TUnattendedPrompter unattended;
  return g_prompter ? *g_prompter : unattended;
}

Prompter* SetPrompter(Prompter* prompter) {
  Prompter* previous = g_prompter;
  g_prompter = prompter;
  return previous;
}
