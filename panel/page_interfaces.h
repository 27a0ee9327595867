#pragma once
// What the page operations need of the two settings pages. The main window
// implements these with its controls, the command-line tool over plain values
// (plain_pages.h), the tests over doubles.
//
// All texts are 8-bit text in code page 1251, as they go to and come from the
// panel; the window converts with the round-trip codec (support/text_codec.h).

#include <string>

// The key list TouchSTR with the reader's key edit e1. Entry i (from 0) is
// grid row i + 1; row 0 is the title row.
class KeyList {
 public:
  virtual ~KeyList() = default;
  virtual void Clear() = 0;
  virtual void Append(const std::string& name, const std::string& value) = 0;
  virtual int Count() const = 0;
  // Value ("Ключ" column) of an existing entry, 0 <= index < Count().
  virtual std::string Value(int index) const = 0;
  virtual void SetEntry(int index, const std::string& name, const std::string& value) = 0;
  // The grid's selected row; an empty list still shows one empty row 1, and a
  // negative row means no selection.
  virtual int SelectedRow() const = 0;
  virtual std::string ReaderKey() const = 0;  // text of e1
  virtual void SetReaderKey(const std::string& key) = 0;
};

// The dialing numbers page NumbersGB: per event 1 to 6 its number field NumEn,
// dial box Calln and 24-hour box H24n.
class NumbersPage {
 public:
  virtual ~NumbersPage() = default;
  virtual void SetEnabled(bool enabled) = 0;  // the whole group
  // Call5, Call6, H245 and H246 only; hidden boxes keep their state.
  virtual void SetSpareBoxesVisible(bool visible) = 0;
  virtual bool DialTicked(int event) const = 0;
  // A change of state runs the box's click handler (Call1Click), which
  // enables the event's number field exactly when the box is ticked; setting
  // the state the box already has runs nothing.
  virtual void SetDialTicked(int event, bool ticked) = 0;
  virtual bool DayTicked(int event) const = 0;
  virtual void SetDayTicked(int event, bool ticked) = 0;
  virtual std::string NumberText(int event) const = 0;
  virtual void SetNumberText(int event, const std::string& text) = 0;
};
