#include "gui_test_support.h"

#include <QCheckBox>
#include <QLineEdit>

#include "app/port_box.h"
#include "panel/exchange.h"
#include "serial/comm_device.h"

namespace orvex_test {

bool ScriptedPrompter::AskYesNo(const QString& text) {
  Show({Prompt::kQuestion, text, {}});
  if (answers_.empty()) return false;
  const bool yes = answers_.front();
  answers_.pop_front();
  return yes;
}

QString ScriptedPrompter::AskSaveFileName(const QString& title, const QString& suggested) {
  Show({Prompt::kSaveFile, title, suggested});
  if (files_.empty()) return {};
  const QString path = files_.front();
  files_.pop_front();
  return path;
}

QString ScriptedPrompter::AskOpenFileName(const QString& title, const QString& folder) {
  Show({Prompt::kOpenFile, title, folder});
  if (files_.empty()) return {};
  const QString path = files_.front();
  files_.pop_front();
  return path;
}

QStringList ScriptedPrompter::Texts(Prompt::Kind kind) const {
  QStringList texts;
  for (const Prompt& prompt : prompts) {
    if (prompt.kind == kind) texts << prompt.text;
  }
  return texts;
}

PortMapScript::PortMapScript(std::map<std::string, std::string> mapped)
    : mapped_(std::move(mapped)) {
  SetPortMapLookup([this](const std::string& name) -> std::optional<std::string> {
    std::lock_guard<std::mutex> lock(mutex_);
    looked_up_.push_back(name);
    const auto found = mapped_.find(name);
    if (found != mapped_.end()) return found->second;
    return "/nonexistent/orvex-gui-test/" + name;
  });
}

PortMapScript::~PortMapScript() {
  SetPortMapLookup(nullptr);
}

void PortMapScript::Map(const std::string& name, const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  mapped_[name] = path;
}

std::vector<std::string> PortMapScript::LookedUp() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return looked_up_;
}

void PortMapScript::ForgetLookUps() {
  std::lock_guard<std::mutex> lock(mutex_);
  looked_up_.clear();
}

WindowUnderTest::WindowUnderTest(std::vector<std::string> args, std::string configHome,
                                 std::string sysfsRoot) {
  config_ = std::make_unique<TempDir>();
  if (configHome.empty()) configHome = config_->path();
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(configHome));
  // A tree without sysfs: no adapters.
  SetPortDiscoveryRoot(sysfsRoot.empty() ? config_->path() : sysfsRoot);
  window_ = std::make_unique<TfOrvex>(args.empty() ? std::string() : args.front());
}

WindowUnderTest::~WindowUnderTest() = default;

QLineEdit* NumE(QWidget& root, int event) {
  return Control<QLineEdit>(root, QStringLiteral("NumE%1").arg(event));
}

QCheckBox* Call(QWidget& root, int event) {
  return Control<QCheckBox>(root, QStringLiteral("Call%1").arg(event));
}

QCheckBox* H24(QWidget& root, int event) {
  return Control<QCheckBox>(root, QStringLiteral("H24%1").arg(event));
}

QStringList Names(const std::vector<std::string>& names) {
  QStringList list;
  for (const std::string& name : names) list << QString::fromStdString(name);
  return list;
}

QStringList CommandsFrom(const std::vector<std::string>& all, size_t from) {
  QStringList list = Names(all);
  return list.mid(static_cast<qsizetype>(qMin(from, all.size())));
}

}  // namespace orvex_test
