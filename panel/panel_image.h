#pragma once
// The panel copied exactly, for backups: the four keys, the two flag bytes as
// the panel holds them, and all six numbers whatever the flags. Unlike the
// window's pages, no page rule changes anything on the way: a backup written
// back puts the panel into the very state it was read in.
//
// Every reply is checked for its command's shape, and a reply that holds two
// answers, or is followed by more of an answer before the next command goes
// out, is refused, so that a late or repeated answer never shifts data into
// the wrong field (reply_checks.h).

#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "panel/commands.h"
#include "panel/page_link.h"
#include "panel/reply_checks.h"

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

// Raised by ReadPanelImage when any reply could not be taken; every command
// was sent and each failure is listed. Nothing of the read is returned then.
class EPanelReadError : public std::runtime_error {
 public:
  explicit EPanelReadError(std::vector<RefusedReply> refused);
  const std::vector<RefusedReply>& Refused() const { return refused_; }

 private:
  std::vector<RefusedReply> refused_;
};

class LineNotes;

// Keys 1 to 4, the flags, numbers 1 to 6. With notes (the line behind send),
// a command answered without "OK" is refused with what came instead of as
// not answered, and a command whose answer was followed by more of one
// before the next command went out is refused too.
PanelImage ReadPanelImage(const CommandSender& send, const LineNotes* notes = nullptr);

// Keys, then the flag bytes, then all six numbers, exactly as the image
// holds them; afterwards EPanelWriteError names the unconfirmed ones. With
// notes, a command to which nothing at all came ends the write at once with
// EPanelStoppedAnswering; without, every command is sent.
// With before (an exact copy just read), only the commands that carry a
// field in which image differs from it are sent, so that whatever the user
// did not name is never rewritten from a copy; nothing when they are equal.
void WritePanelImage(const CommandSender& send, const PanelImage& image,
                     const LineNotes* notes = nullptr, const PanelImage* before = nullptr);

// The fields in which two images differ, named as the settings file names
// them ("key2", "dial5", "number1"), in file order.
std::vector<std::string> ImageDifferences(const PanelImage& a, const PanelImage& b);

// Bytes shown so that a user can read them between double quotes: printable
// ASCII as it is, CR LF and other bytes escaped (\r, \n, \xNN), and "\" and
// the quote itself after a backslash.
std::string EscapedBytes(const std::string& bytes);
