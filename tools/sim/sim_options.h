#pragma once
// The simulator's command line.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "panel_state.h"

// Ways to misbehave, for tests of how the utility copes. They apply to every
// command, or only to commands that start with one of `match`.
struct Misbehaviour {
  int delayMs = 0;           // the answer starts this late
  bool silent = false;       // no answer at all; the command is lost
  int pieces = 1;            // the answer goes out in this many parts
  int pieceGapMs = 50;       // pause between two parts
  bool nul = false;          // a zero byte after every byte of the answer
  bool lowercaseOk = false;  // "ok" instead of "OK"
  int longFill = 0;          // this many filler bytes and CR LF before the answer
  bool badHex = false;       // the last two characters of reply data become "ZZ"
  std::vector<std::string> match;

  bool AppliesTo(const std::string& command) const;
};

// A command prefix with a number: "+T01:350".
struct PrefixValue {
  std::string prefix;
  int64_t value = 0;
};

// A command prefix and the command whose answer it gets: "+H02:+H05".
struct AnswerSwap {
  std::string prefix;
  std::string command;
};

struct SimOptions {
  std::string link;       // symlink to the slave, removed on exit
  std::string stateFile;  // panel memory kept between runs
  std::string logFile;    // one line per received command
  bool verbose = false;   // commands and answers on stderr
  bool exitOnStdinEof = false;
  bool control = false;               // obey control lines on standard input
  std::optional<KeyBytes> presented;  // key held to the reader at start
  int readerWaitMs = 4000;            // how long "+T00" waits for a key
  int64_t hangupAfter = 0;            // close the line after this many commands (0: never)
  std::vector<std::string> silentOn;  // commands with these prefixes are lost
  std::vector<std::string> errorOn;   // commands with these prefixes are refused
  std::vector<PrefixValue> lateOn;    // answered this many ms late
  std::vector<PrefixValue> twiceOn;   // answered twice, the copy this many ms later
  std::vector<AnswerSwap> answerAs;   // answered as another command would be
  // The answer to the first command with this prefix stops after `value`
  // bytes (-1: half of it), then the line is closed.
  std::optional<PrefixValue> hangupMid;
  Misbehaviour misbehaviour;
};

struct ParsedOptions {
  SimOptions options;
  bool help = false;
  bool version = false;
  std::string error;  // not empty: the command line is wrong
};

// `args` without the program name.
ParsedOptions ParseSimOptions(const std::vector<std::string>& args);
std::string HelpText();

// True when `text` starts with one of `prefixes`.
bool StartsWithAny(const std::string& text, const std::vector<std::string>& prefixes);
// The first entry whose prefix `text` starts with, or null.
const PrefixValue* FindPrefix(const std::string& text, const std::vector<PrefixValue>& entries);
