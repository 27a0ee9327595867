#pragma once
// A stand-in for the main window as the window-state code sees it: the
// components of fOrvex in the order of its layout, each recording what was
// done to it in one shared journal.

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/form_state.h"

class FakeComponent : public FormComponent {
 public:
  FakeComponent(std::string name, ComponentKind kind, std::vector<std::string>* journal)
      : name_(std::move(name)), kind_(kind), journal_(journal) {}

  std::string Name() const override { return name_; }
  ComponentKind Kind() const override { return kind_; }
  int Tag() const override { return tag; }
  std::string Text() const override { return text; }
  void SetText(const std::string& value) override {
    journal_->push_back(name_ + ".SetText(" + value + ")");
    text = value;
  }
  bool Checked() const override { return checked; }
  void SetChecked(bool value) override {
    journal_->push_back(name_ + ".SetChecked(" + (value ? "1" : "0") + ")");
    checked = value;
  }

  int tag = 0;
  std::string text;
  bool checked = false;

 private:
  std::string name_;
  ComponentKind kind_;
  std::vector<std::string>* journal_;
};

class FakeWindow : public FormStateWindow {
 public:
  // The components of the main window in layout order, with the ones that
  // hold no state among them.
  FakeWindow() {
    Add("SettingsTV", ComponentKind::kOther);
    Add("cb1", ComponentKind::kComboBox);
    Add("xCon", ComponentKind::kCheckBox);
    Add("TouchSTR", ComponentKind::kOther);
    Add("e1", ComponentKind::kEdit);
    for (int i = 1; i <= 6; ++i) Add("NumE" + std::to_string(i), ComponentKind::kEdit);
    for (int i = 1; i <= 6; ++i) Add("Call" + std::to_string(i), ComponentKind::kCheckBox);
    for (int i = 1; i <= 6; ++i) Add("H24" + std::to_string(i), ComponentKind::kCheckBox);
    Add("Button1", ComponentKind::kOther);
  }

  FakeComponent& Add(const std::string& componentName, ComponentKind kind) {
    components_.push_back(std::make_unique<FakeComponent>(componentName, kind, &journal));
    return *components_.back();
  }
  FakeComponent& Find(const std::string& componentName) {
    for (auto& c : components_) {
      if (c->Name() == componentName) return *c;
    }
    throw std::out_of_range(componentName);
  }

  std::string Name() const override { return name; }
  FormBounds Bounds() const override { return bounds; }
  void SetLeft(int v) override { Log("SetLeft", v), bounds.left = v; }
  void SetTop(int v) override { Log("SetTop", v), bounds.top = v; }
  void SetHeight(int v) override { Log("SetHeight", v), bounds.height = v; }
  void SetWidth(int v) override { Log("SetWidth", v), bounds.width = v; }
  bool IsMaximized() const override { return maximized; }
  void SetMaximized(bool v) override { Log("SetMaximized", v), maximized = v; }
  void SetCentredPlacement() override { journal.push_back("SetCentredPlacement"), centred = true; }
  int ComponentCount() const override { return static_cast<int>(components_.size()); }
  FormComponent& Component(int index) override { return *components_.at(index); }

  std::string name = "fOrvex";
  FormBounds bounds{100, 50, 480, 640};
  bool maximized = false;
  bool centred = false;
  std::vector<std::string> journal;

 private:
  void Log(const char* what, int value) {
    journal.push_back(std::string(what) + "(" + std::to_string(value) + ")");
  }

  std::vector<std::unique_ptr<FakeComponent>> components_;
};
