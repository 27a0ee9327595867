#pragma once
// The two settings pages over plain values, for a program without a window
// (the command-line tool) and for tests. They behave as the window's
// controls do: a change of a dial box enables or disables its number field.

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "panel/commands.h"
#include "panel/page_interfaces.h"

class PlainKeyList : public KeyList {
 public:
  struct Entry {
    std::string name;
    std::string value;
  };
  std::vector<Entry> entries;
  int selected_row = 1;
  std::string reader_key;

  void Clear() override { entries.clear(); }
  void Append(const std::string& name, const std::string& value) override;
  int Count() const override { return static_cast<int>(entries.size()); }
  std::string Value(int index) const override;
  void SetEntry(int index, const std::string& name, const std::string& value) override;
  int SelectedRow() const override { return selected_row; }
  std::string ReaderKey() const override { return reader_key; }
  void SetReaderKey(const std::string& key) override { reader_key = key; }
};

class PlainNumbersPage : public NumbersPage {
 public:
  // As the window starts: every box ticked, fields empty and enabled.
  struct Row {
    std::string number;
    bool dial = true;
    bool day = true;
    bool field_enabled = true;
  };
  std::array<Row, kEventCount> rows;
  bool enabled = true;
  bool spare_boxes_visible = true;

  void SetEnabled(bool value) override { enabled = value; }
  void SetSpareBoxesVisible(bool visible) override { spare_boxes_visible = visible; }
  bool DialTicked(int event) const override { return RowOf(event).dial; }
  void SetDialTicked(int event, bool ticked) override;
  bool DayTicked(int event) const override { return RowOf(event).day; }
  void SetDayTicked(int event, bool ticked) override { RowOf(event).day = ticked; }
  std::string NumberText(int event) const override { return RowOf(event).number; }
  void SetNumberText(int event, const std::string& text) override { RowOf(event).number = text; }

  // Event 1 to 6; anything else raises std::out_of_range.
  Row& RowOf(int event) { return rows.at(static_cast<size_t>(event - 1)); }
  const Row& RowOf(int event) const { return rows.at(static_cast<size_t>(event - 1)); }
};
