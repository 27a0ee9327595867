#include "panel/plain_pages.h"

#include "panel/page_link.h"

void PlainKeyList::Append(const std::string& name, const std::string& value) {
  entries.push_back({name, value});
}

std::string PlainKeyList::Value(int index) const {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  return entries[static_cast<size_t>(index)].value;
}

void PlainKeyList::SetEntry(int index, const std::string& name, const std::string& value) {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  entries[static_cast<size_t>(index)] = {name, value};
}

void PlainNumbersPage::SetDialTicked(int event, bool ticked) {
  Row& row = RowOf(event);
  if (row.dial == ticked) return;  // no change, no click
  row.dial = ticked;
  row.field_enabled = ticked;  // what Call1Click does; the text stays
}
