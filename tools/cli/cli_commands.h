#pragma once
// The tool's panel commands: what each one sends, and what it tells the user.
// Every message names the port, the command and the cause.

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

struct CliContext {
  std::string port;
  // Where the port's name came from when -p did not give it ("the window's
  // saved port", "$ORVEX_GSM_PORT", "the default"), so that a message
  // about it says so.
  std::string port_source;
  // The command that does a write's work again, for a write interrupted or
  // cut short ("orvex-gsm-cli -p COM2 write panel.txt").
  std::string redo;
  std::string output;  // read: a file to write instead of standard output
  bool debug = false;
  bool verify = false;     // read: read twice and compare
  bool no_verify = false;  // write: skip the read-back
  bool plain = false;      // ports: tab-separated
  bool fast = false;       // end each exchange once its answer is complete
  bool quiet = false;      // no line saying what was done
  bool repeat = false;     // write / read: one panel after another
  bool progress = false;   // a progress line (standard error is a terminal)
  // Told the step a panel's work is at ("writing", "reading back"), for the
  // progress line; empty when nobody shows it.
  std::function<void(const std::string&)> step;
  std::istream* in = nullptr;
  std::ostream* out = nullptr;
  std::ostream* err = nullptr;
};

int ProbeCommand(const CliContext& cx);
int ScanCommand(const CliContext& cx);
int ReadCommand(const CliContext& cx);
int WriteCommand(const CliContext& cx, const std::string& file);
int ReadKeyCommand(const CliContext& cx);
int DiffCommand(const CliContext& cx, const std::string& file);
// set FIELD=VALUE... (cli_set.cpp): the panel read exactly, the named fields
// changed, only those written, then read back and compared.
int SetCommand(const CliContext& cx, const std::vector<std::string>& assignments);
// write FILE --repeat, read --repeat -o DIR (cli_repeat.cpp).
// Between two probes that find no panel, --repeat rests this long (the
// probe itself waits out its budget first).
inline constexpr int kRepeatRestMs = 100;
int RepeatWriteCommand(const CliContext& cx, const std::string& file);
int RepeatReadCommand(const CliContext& cx);
