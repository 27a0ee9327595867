#pragma once
// The simulator's command line.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "panel_state.h"

namespace orvex_sim {

// Ways to misbehave, for tests of how the utility copes. They apply to every
// command, or only to commands that start with one of `match`.
struct Misbehaviour {
  int delay_ms = 0;           // the answer starts this late
  bool silent = false;        // no answer at all; the command is lost
  int pieces = 1;             // the answer goes out in this many parts
  int piece_gap_ms = 50;      // pause between two parts
  bool nul = false;           // a zero byte after every byte of the answer
  bool lowercase_ok = false;  // "ok" instead of "OK"
  int long_fill = 0;          // this many filler bytes and CR LF before the answer
  bool bad_hex = false;       // the last two characters of reply data become "ZZ"
  std::vector<std::string> match;

  bool AppliesTo(const std::string& command) const;
};

struct SimOptions {
  std::string link;        // symlink to the slave, removed on exit
  std::string state_file;  // panel memory kept between runs
  std::string log_file;    // one line per received command
  bool verbose = false;    // commands and answers on stderr
  bool exit_on_stdin_eof = false;
  std::optional<KeyBytes> presented;   // key held to the reader at start
  int reader_wait_ms = 4000;           // how long "+T00" waits for a key
  int64_t hangup_after = 0;            // close the line after this many commands (0: never)
  std::vector<std::string> silent_on;  // commands with these prefixes are lost
  std::vector<std::string> error_on;   // commands with these prefixes are refused
  Misbehaviour misbehaviour;
};

struct ParsedOptions {
  SimOptions options;
  bool help = false;
  std::string error;  // not empty: the command line is wrong
};

// `args` without the program name.
ParsedOptions ParseSimOptions(const std::vector<std::string>& args);
std::string HelpText();

// True when `text` starts with one of `prefixes`.
bool StartsWithAny(const std::string& text, const std::vector<std::string>& prefixes);

}  // namespace orvex_sim
