#include "gui_test_support.h"

#include "app/port_box.h"
#include "panel/exchange.h"
#include "serial/comm_device.h"

namespace orvex_test {

bool ScriptedPrompter::AskYesNo(const QString& text) {
  prompts.push_back({Prompt::kQuestion, text});
  if (answers_.empty()) return false;
  const bool yes = answers_.front();
  answers_.pop_front();
  return yes;
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
                                 std::string sysfsRoot)
    : args_(std::move(args)) {
  config_ = std::make_unique<TempDir>();
  if (configHome.empty()) configHome = config_->path();
  setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
  // A tree without sysfs: no adapters.
  SetPortDiscoveryRoot(sysfsRoot.empty() ? config_->path() : sysfsRoot);
  args_.insert(args_.begin(), "orvex-gsm");
  for (std::string& arg : args_) argv_.push_back(arg.data());
  argv_.push_back(nullptr);
  window_ = std::make_unique<TfOrvex>(static_cast<int>(args_.size()), argv_.data());
  fOrvex = window_.get();
  SetExchangeHost(window_.get());
}

WindowUnderTest::~WindowUnderTest() = default;

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
