#include "panel/page_link.h"

#include "panel/panel_errors.h"

void RaiseListIndexError(int index) {
  throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}
