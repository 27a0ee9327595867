#pragma once
// The panel's side of the command dialogue: cutting the received bytes into
// command lines, and answering one command from the panel's memory.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "panel_state.h"

// One received line, without its carriage return. A line longer than
// kMaxLine keeps only its first kMaxLine bytes; `length` tells how long it was.
struct CommandLine {
  std::string text;
  size_t length = 0;

  bool Overlong() const { return length > text.size(); }
};

// Collects bytes into lines ended by a carriage return. Memory stays bounded
// whatever arrives: an endless line without carriage return is counted, not
// stored. A line feed at the start of a line (the second half of a CR LF) and
// empty lines are dropped.
class LineAssembler {
 public:
  static constexpr size_t kMaxLine = 256;

  void Feed(std::string_view bytes, std::vector<CommandLine>& lines);

 private:
  std::string current_;
  size_t length_ = 0;
};

enum class AnswerKind {
  kData,      // a read: ">" data CR LF, then "OK" CR LF
  kAccepted,  // a write: "OK" CR LF
  kRejected,  // unknown or malformed: "ERROR" CR LF, no "OK"
  kAwaitKey,  // "+T00" with no key at the reader: the answer waits for one
};

struct PanelAnswer {
  AnswerKind kind = AnswerKind::kRejected;
  std::string data;      // the reply data of a read
  bool changed = false;  // the panel's memory was changed
};

// Carries out one command on `state`. `presented` is the key held to the
// reader, if any.
PanelAnswer HandleCommand(PanelState& state, std::string_view command,
                          const std::optional<KeyBytes>& presented);

// The bytes the panel sends for an answer. `ok` is the acceptance word
// ("OK"; the lower-case misbehaviour passes "ok").
std::string AnswerText(const PanelAnswer& answer, std::string_view ok = "OK");
