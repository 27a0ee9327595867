#include "panel/page_link.h"

#include "panel/panel_errors.h"

void UnconfirmedWrites::Note(const std::string& name, const std::string& reply) {
  if (reply.empty()) names_.push_back(name);
}

void UnconfirmedWrites::RaiseIfAny() const {
  if (!names_.empty()) throw EPanelWriteError(names_);
}

void RaiseListIndexError(int index) {
  throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}
