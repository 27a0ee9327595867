#include "panel/page_link.h"

#include <algorithm>

#include "panel/panel_errors.h"
#include "panel/reply_checks.h"

void UnconfirmedWrites::Note(const std::string& name, const std::string& reply) {
  if (WriteConfirmed(reply)) return;
  names_.push_back(name);
  replies_.push_back(reply);
}

void UnconfirmedWrites::Doubt(const std::string& name, const std::string& came) {
  if (std::find(names_.begin(), names_.end(), name) != names_.end()) return;
  names_.push_back(name);
  replies_.push_back(came);
}

void UnconfirmedWrites::DoubtAllFrom(const std::string& first) {
  if (doubt_from_.empty()) doubt_from_ = first;
}

void UnconfirmedWrites::RaiseIfAny() const {
  if (!names_.empty()) throw EPanelWriteError(names_, replies_, doubt_from_);
}

void RaiseListIndexError(int index) {
  throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}
