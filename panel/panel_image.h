#pragma once
// The panel copied exactly, for backups: the four keys, the two flag bytes as
// the panel holds them, and all six numbers whatever the flags. Unlike the
// window's pages, no page rule changes anything on the way: a backup written
// back puts the panel into the very state it was read in.
//
// Every answer is judged by the runner (operation.h), so that a late or
// repeated answer never shifts data into the wrong field.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "panel/commands.h"
#include "panel/operation.h"

struct PanelImage {
  // Display order (as the key list shows them), 16 upper-case hexadecimal
  // digits each.
  std::array<std::string, kKeySlots> keys;
  // Bits 0 to 5, event 1 in bit 0; bits 6 and 7 are never sent.
  uint8_t dial = 0;
  uint8_t day = 0;
  // The 16 character codes of each event's number as 32 upper-case
  // hexadecimal digits; all zeros when the panel holds no number.
  std::array<std::string, kEventCount> numbers;

  bool operator==(const PanelImage&) const = default;
};

class OperationRunner;

// The order of an exact read's commands. Each ends with a key, the command
// with the shortest budget, so that the read's end waits least; the second
// read of a copy that is kept goes in another order, so that a fault tied
// to one command cannot give the same wrong copy twice.
enum class ReadOrder {
  kFirst,   // the flags, numbers 1 to 6, keys 1 to 4
  kSecond,  // numbers 6 to 1, the flags, keys 4 to 1
};

// The reads of an exact copy, in phase (a read, or a write's read-back) and
// order.
std::vector<Step> ImageReadSteps(Phase phase, ReadOrder order);
// Sends them through the runner and builds the copy of what was taken. The
// caller ends the operation and takes the copy only when its story holds.
PanelImage SendImageReads(OperationRunner& runner, Phase phase, ReadOrder order);

// The flags and the six numbers alone, in read-back (the numbers page's
// write); the keys are taken from base.
PanelImage SendNumberReads(OperationRunner& runner, const PanelImage& base);

// The writes that put image into the panel: keys, the flag bytes, all six
// numbers, exactly as the image holds them; with keysLast the keys go last,
// so that the shortest budget ends the write. With before (an exact copy
// just read), only the commands that carry a field in which image differs
// from it, so that whatever the user did not name is never rewritten from a
// copy.
std::vector<Step> ImageWriteSteps(const PanelImage& image, const PanelImage* before = nullptr,
                                  bool keysLast = false);
// Sends them; a write that nothing at all came to ends the sending, and so
// does stop (asked between two commands, never in the middle of one).
// Returns how many were sent.
size_t SendImageWrites(OperationRunner& runner, const std::vector<Step>& steps,
                       const std::function<bool()>& stop = {});

// The fields in which two images differ, named as the settings file names
// them ("key2", "dial5", "number1"), in file order.
std::vector<std::string> ImageDifferences(const PanelImage& a, const PanelImage& b);

// Bytes shown so that a user can read them between double quotes: printable
// ASCII as it is, CR LF and other bytes escaped (\r, \n, \xNN), and "\" and
// the quote itself after a backslash.
std::string EscapedBytes(const std::string& bytes);

// The same for text a user typed: whole UTF-8 characters beyond ASCII (a
// Cyrillic letter, "€", a full-width digit) are shown as they are, so the
// user sees what they typed; other bytes are escaped as EscapedBytes does.
std::string ShownText(const std::string& text);
