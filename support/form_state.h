#pragma once
// The window state kept between runs: the window's bounds, whether it is
// maximized, and the contents of its input fields, in the settings store
// under RegistryRoot + "\Forms\" + the window's name.
//
// Value names are the window's or a component's name with a suffix:
//   <window>.Left .Top .Height .Width   numbers, the window's bounds
//   <window>.WindowState                 boolean, the window is maximized
//   <edit or combo box>.Text             text
//   <check box or radio button>.Checked  boolean
// Booleans are numbers: 1 for true, 0 for false; any non-zero reads true.
//
// The window is reached through FormStateWindow, which the window's toolkit
// side implements; these operations know nothing of a toolkit.

#include <string>
#include <string_view>

#include "support/registry_key.h"

// The registry path prefix of the saved window state: taken from the root of
// HKEY_CURRENT_USER.
inline constexpr std::string_view RegistryRoot = "\\SOFTWARE\\NolvarGSM";

// The key that holds the state of the window of that name.
std::string FormStateKeyPath(std::string_view windowName);

// The main window's name, and the value of its state that holds the port box's
// text: the command-line tool reads and sets the port the window starts with.
inline constexpr const char* kMainWindowName = "fOrvex";
inline constexpr const char* kPortBoxTextValue = "cb1.Text";

struct FormBounds {
  int left = 0;
  int top = 0;
  int height = 0;
  int width = 0;
};

// The classes of component that hold state. A component of a class derived
// from one of these is of that kind.
enum class ComponentKind { kEdit, kComboBox, kCheckBox, kRadioButton, kOther };

// One component that the window owns.
class FormComponent {
 public:
  virtual ~FormComponent() = default;

  virtual std::string Name() const = 0;
  virtual ComponentKind Kind() const = 0;
  // The general-purpose tag number, 0 by default; an edit tagged 1 is saved
  // but never restored.
  virtual int Tag() const = 0;

  // Edit and combo box: the text (of a combo box, the text in its edit part,
  // which need not be one of its items), in UTF-8.
  virtual std::string Text() const = 0;
  virtual void SetText(const std::string& text) = 0;

  // Check box and radio button. Setting a state that differs from the current
  // one acts as a click does (the component's click handler runs); setting
  // the state it already has does nothing.
  virtual bool Checked() const = 0;
  virtual void SetChecked(bool checked) = 0;
};

class FormStateWindow {
 public:
  virtual ~FormStateWindow() = default;

  virtual std::string Name() const = 0;

  // The current bounds in pixels; for a maximized window, its maximized
  // bounds.
  virtual FormBounds Bounds() const = 0;
  virtual void SetLeft(int left) = 0;
  virtual void SetTop(int top) = 0;
  virtual void SetHeight(int height) = 0;
  virtual void SetWidth(int width) = 0;

  // A minimized window is not maximized.
  virtual bool IsMaximized() const = 0;
  // True: maximized; false: normal.
  virtual void SetMaximized(bool maximized) = 0;
  // The window is to be centred on the screen when it is first shown, at its
  // size of that moment.
  virtual void SetCentredPlacement() = 0;

  // The components the window owns, in the order of the window layout.
  virtual int ComponentCount() const = 0;
  virtual FormComponent& Component(int index) = 0;
};

// Restores what the store holds for the window; a value that is missing
// leaves its part of the window as it is. A value of the wrong type stops the
// load there with "Invalid data type for '<name>'"; the values before it stay
// restored. An unreadable settings file raises ESettingsFileError before
// anything is restored.
void LoadFormState(FormStateWindow& window, RegistryStore& store);
void LoadFormState(FormStateWindow& window);  // DefaultRegistryStore()

// Stores the window's state, every value anew. Raises "Failed to set data for
// '<name>'" when the key cannot be written.
void SaveFormState(FormStateWindow& window, RegistryStore& store);
void SaveFormState(FormStateWindow& window);  // DefaultRegistryStore()
