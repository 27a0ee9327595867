#pragma once
// The port box cb1: an editable list whose entries are the scan order. After
// the entries it is built with, it lists the USB and ACM serial adapters
// present on Linux by their kernel path, taken when the box is made and again
// each time its list is opened, so the scan reaches an adapter with no set-up.
// Windows keeps its list as built: its COM names already name every port.

#include <QComboBox>
#include <string>

class TPortBox : public QComboBox {
 public:
  explicit TPortBox(QWidget* parent = nullptr);

  // Replaces the adapter entries with those present now. The current text
  // stays as it is.
  void RefreshAdapters();

  void showPopup() override;

 private:
  int adapter_entries_ = 0;  // the last entries of the list
};

// Where the ports are looked for: "/" (the system's tree) unless a test sets a
// tree of its own. Read at every refresh.
void SetPortDiscoveryRoot(std::string root);
