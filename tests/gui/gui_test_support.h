#pragma once
// Shared pieces of the window tests: a prompter that answers from a script
// and records what it was shown, a port map that sends every port name
// nowhere unless told otherwise and records the names asked for, and the
// main window built as the program builds it.

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/prompter.h"
#include "fakes/sim_process.h"

class QCheckBox;
class QLineEdit;

namespace orvex_test {

// A control under root, found by its object name (the window's control
// names); a control that is missing or of another kind ends the test program
// with its name, since no test can go on without it.
template <typename T>
T* Control(QWidget& root, const QString& name) {
  T* found = root.findChild<T*>(name);
  if (found == nullptr) {
    qFatal("no control \"%s\" of kind %s", qPrintable(name), T::staticMetaObject.className());
  }
  return found;
}

// The number field, dial box and 24-hour box of an event (1 to 6).
QLineEdit* NumE(QWidget& root, int event);
QCheckBox* Call(QWidget& root, int event);
QCheckBox* H24(QWidget& root, int event);

struct Prompt {
  enum Kind { kQuestion, kConfirm, kError, kDefaultError, kInform, kWarn, kSaveFile, kOpenFile };
  Kind kind;
  QString text;     // a file dialog's title
  QString details;  // a file dialog's suggested name or folder
};

// Installed while it lives. Questions take the next scripted answer; with
// none left they are answered No.
class ScriptedPrompter : public Prompter {
 public:
  ScriptedPrompter() : previous_(SetPrompter(this)) {}
  ~ScriptedPrompter() override { SetPrompter(previous_); }

  void AnswerNext(bool yes) { answers_.push_back(yes); }
  // The next file dialog's answer; with none left a dialog is cancelled.
  void ChooseFile(const QString& path) { files_.push_back(path); }

  bool AskYesNo(const QString& text) override;
  void Confirm(const QString& text, const QString& details) override {
    Show({Prompt::kConfirm, text, details});
  }
  void ShowError(const QString& text) override { Show({Prompt::kError, text, {}}); }
  void Inform(const QString& text) override { Show({Prompt::kInform, text, {}}); }
  void Warn(const QString& text) override { Show({Prompt::kWarn, text, {}}); }
  QString AskSaveFileName(const QString& title, const QString& suggested) override;
  QString AskOpenFileName(const QString& title, const QString& folder) override;
  void ShowDefaultError(const QString& text) override { Show({Prompt::kDefaultError, text, {}}); }

  // The texts shown of one kind, in order.
  QStringList Texts(Prompt::Kind kind) const;

  std::vector<Prompt> prompts;
  // Runs as each prompt is shown, to look at the window behind it.
  std::function<void()> onShow;

 private:
  void Show(const Prompt& prompt) {
    prompts.push_back(prompt);
    if (onShow) onShow();
  }

  Prompter* previous_;
  std::deque<bool> answers_;
  std::deque<QString> files_;
};

// Port names resolve through this map while it lives: a mapped name to its
// path, every other name to a path that does not exist, so that no test ever
// touches a real serial port.
class PortMapScript {
 public:
  explicit PortMapScript(std::map<std::string, std::string> mapped = {});
  ~PortMapScript();

  void Map(const std::string& name, const std::string& path);
  // The port names looked up, in order: one per attempt to open a port by
  // name (a name that is empty or a path is not looked up).
  std::vector<std::string> LookedUp() const;
  void ForgetLookUps();

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::string> mapped_;
  std::vector<std::string> looked_up_;
};

// The main window as the program creates it: the program-wide references
// point at it before FormCreate runs. Its saved state lives in configHome
// (XDG_CONFIG_HOME), by default a fresh folder of its own, so that no test
// sees another's state or the user's. Its port list finds the adapters of
// sysfsRoot, by default none, so that no test touches a real adapter.
class WindowUnderTest {
 public:
  // args: the command line after the program name.
  explicit WindowUnderTest(std::vector<std::string> args = {}, std::string configHome = {},
                           std::string sysfsRoot = {});
  ~WindowUnderTest();

  TfOrvex& operator*() { return *window_; }
  TfOrvex* operator->() { return window_.get(); }

  template <typename T>
  T* Control(const char* name) {
    return orvex_test::Control<T>(*window_, QString::fromLatin1(name));
  }

 private:
  std::unique_ptr<TempDir> config_;  // outlives the window, which saves into it
  std::unique_ptr<TfOrvex> window_;
};

// The commands the simulator received from index `from` on, as a list that
// QCOMPARE prints when it differs.
QStringList CommandsFrom(const std::vector<std::string>& all, size_t from);
QStringList Names(const std::vector<std::string>& names);

}  // namespace orvex_test
