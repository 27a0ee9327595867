#include "app/port_box.h"

#include <QStringList>
#include <utility>

#include "serial/port_choice.h"

namespace {

std::string& DiscoveryRoot() {
  static std::string root = "/";
  return root;
}

QStringList AdapterPaths() {
  QStringList paths;
#ifndef Q_OS_WIN
  for (const std::string& device : AdapterDevices(DiscoveryRoot()))
    paths << QString::fromStdString(device);
#endif
  return paths;
}

}  // namespace

void SetPortDiscoveryRoot(std::string root) {
  DiscoveryRoot() = std::move(root);
}

TPortBox::TPortBox(QWidget* parent) : QComboBox(parent) {}

void TPortBox::RefreshAdapters() {
  const QString text = currentText();
  const QStringList paths = AdapterPaths();
  for (; adapter_entries_ > 0; --adapter_entries_) removeItem(count() - 1);
  addItems(paths);
  adapter_entries_ = static_cast<int>(paths.size());
  // Removing the current entry moved the selection; what the user sees and
  // what the next open uses is the text.
  if (currentText() != text) setEditText(text);
}

void TPortBox::showPopup() {
  RefreshAdapters();
  QComboBox::showPopup();
}
