#include "support/form_state.h"

#include <memory>

std::string FormStateKeyPath(std::string_view windowName) {
  std::string path(RegistryRoot);
  path += "\\Forms\\";
  path += windowName;
  return path;
}

void LoadFormState(FormStateWindow& window, RegistryStore& store) {
  const std::string name = window.Name();
  // Whether the key opened is not examined: a key that did not holds no
  // values, and nothing is restored.
  const std::unique_ptr<RegistryKey> key = store.OpenKey(FormStateKeyPath(name), true);

  if (key->ValueExists(name + ".WindowState")) {
    window.SetMaximized(key->ReadBool(name + ".WindowState"));
  }
  if (key->ValueExists(name + ".Left")) {
    window.SetLeft(key->ReadInteger(name + ".Left"));
  } else {
    window.SetCentredPlacement();
  }
  if (key->ValueExists(name + ".Top")) window.SetTop(key->ReadInteger(name + ".Top"));
  if (key->ValueExists(name + ".Height")) window.SetHeight(key->ReadInteger(name + ".Height"));
  if (key->ValueExists(name + ".Width")) window.SetWidth(key->ReadInteger(name + ".Width"));

  for (int i = 0; i < window.ComponentCount(); ++i) {
    FormComponent& component = window.Component(i);
    const std::string text = component.Name() + ".Text";
    const std::string checked = component.Name() + ".Checked";
    switch (component.Kind()) {
      case ComponentKind::kEdit:
        if (key->ValueExists(text) && component.Tag() != 1) {
          component.SetText(key->ReadString(text));
        }
        break;
      case ComponentKind::kCheckBox:
      case ComponentKind::kRadioButton:
        if (key->ValueExists(checked)) component.SetChecked(key->ReadBool(checked));
        break;
      case ComponentKind::kComboBox:
        if (key->ValueExists(text)) component.SetText(key->ReadString(text));
        break;
      case ComponentKind::kOther:
        break;
    }
  }
}

void SaveFormState(FormStateWindow& window, RegistryStore& store) {
  const std::string name = window.Name();
  const std::unique_ptr<RegistryKey> key = store.OpenKey(FormStateKeyPath(name), true);

  const FormBounds bounds = window.Bounds();
  key->WriteInteger(name + ".Left", bounds.left);
  key->WriteInteger(name + ".Top", bounds.top);
  key->WriteInteger(name + ".Height", bounds.height);
  key->WriteInteger(name + ".Width", bounds.width);
  key->WriteBool(name + ".WindowState", window.IsMaximized());

  for (int i = 0; i < window.ComponentCount(); ++i) {
    FormComponent& component = window.Component(i);
    switch (component.Kind()) {
      case ComponentKind::kEdit:  // whatever its tag
      case ComponentKind::kComboBox:
        key->WriteString(component.Name() + ".Text", component.Text());
        break;
      case ComponentKind::kCheckBox:
      case ComponentKind::kRadioButton:
        key->WriteBool(component.Name() + ".Checked", component.Checked());
        break;
      case ComponentKind::kOther:
        break;
    }
  }
  key->Commit();
}

void LoadFormState(FormStateWindow& window) {
  LoadFormState(window, DefaultRegistryStore());
}

void SaveFormState(FormStateWindow& window) {
  SaveFormState(window, DefaultRegistryStore());
}
