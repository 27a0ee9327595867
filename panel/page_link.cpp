#include "panel/page_link.h"

#include "panel/panel_errors.h"

void UnconfirmedWrites::Note(const std::string& name, const std::string& reply) {
  if (reply.empty()) names_.push_back(name);
}

void UnconfirmedWrites::RaiseIfAny() const {
  if (names_.empty()) return;
  std::string message = "Охранная панель не подтвердила команды: ";
  for (size_t i = 0; i < names_.size(); ++i) {
    if (i > 0) message += ", ";
    message += names_[i];
  }
  throw EPanelWriteError(message);
}

void RaiseListIndexError(int index) {
  throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}
