#include "panel/page_link.h"

#include "panel/panel_errors.h"
#include "panel/reply_checks.h"

void UnconfirmedWrites::Note(const std::string& name, const std::string& reply) {
  if (WriteConfirmed(reply)) return;
  names_.push_back(name);
  replies_.push_back(reply);
}

void UnconfirmedWrites::RaiseIfAny() const {
  if (!names_.empty()) throw EPanelWriteError(names_, replies_);
}

void RaiseListIndexError(int index) {
  throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}
