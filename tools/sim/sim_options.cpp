#include "sim_options.h"

#include <charconv>
#include <functional>
#include <map>
#include <type_traits>

namespace orvex_sim {
namespace {

constexpr int kMaxMs = 600000;
constexpr int kMaxLongFill = 65536;
constexpr int kDefaultLongFill = 300;

bool ParseInt(const std::string& text, int64_t low, int64_t high, int64_t* out) {
  int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    return false;
  }
  *out = value;
  return true;
}

}  // namespace

bool StartsWithAny(const std::string& text, const std::vector<std::string>& prefixes) {
  for (const std::string& prefix : prefixes) {
    if (text.compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

bool Misbehaviour::AppliesTo(const std::string& command) const {
  return match.empty() || StartsWithAny(command, match);
}

ParsedOptions ParseSimOptions(const std::vector<std::string>& args) {
  ParsedOptions result;
  SimOptions& o = result.options;
  Misbehaviour& m = o.misbehaviour;

  // Options without a value.
  const std::map<std::string, std::function<void()>> switches = {
      {"--verbose", [&] { o.verbose = true; }},
      {"-v", [&] { o.verbose = true; }},
      {"--exit-on-stdin-eof", [&] { o.exit_on_stdin_eof = true; }},
      {"--silent", [&] { m.silent = true; }},
      {"--nul", [&] { m.nul = true; }},
      {"--lowercase-ok", [&] { m.lowercase_ok = true; }},
      {"--bad-hex", [&] { m.bad_hex = true; }},
      {"--help", [&] { result.help = true; }},
      {"-h", [&] { result.help = true; }},
  };
  // Options with a value; each returns false for a value it cannot take.
  auto number = [](auto* target, int64_t low, int64_t high) {
    return [=](const std::string& v) {
      int64_t value;
      if (!ParseInt(v, low, high, &value)) return false;
      *target = static_cast<std::remove_pointer_t<decltype(target)>>(value);
      return true;
    };
  };
  auto text = [](std::string* target) {
    return [=](const std::string& v) {
      *target = v;
      return !v.empty();
    };
  };
  auto list = [](std::vector<std::string>* target) {
    return [=](const std::string& v) {
      target->push_back(v);
      return !v.empty();
    };
  };
  const std::map<std::string, std::pair<std::function<bool(const std::string&)>, std::string>>
      valued = {
          {"--link", {text(&o.link), "a path"}},
          {"--state", {text(&o.state_file), "a file name"}},
          {"--log", {text(&o.log_file), "a file name"}},
          {"--present",
           {[&](const std::string& v) {
              if (v == "none") {
                o.presented.reset();
                return true;
              }
              KeyBytes key;
              if (!FromHex(v, &key)) return false;
              o.presented = key;
              return true;
            },
            "16 hexadecimal digits or \"none\""}},
          {"--reader-wait", {number(&o.reader_wait_ms, 0, kMaxMs), "milliseconds, 0 to 600000"}},
          {"--hangup-after", {number(&o.hangup_after, 1, INT64_MAX), "a count of at least 1"}},
          {"--silent-on", {list(&o.silent_on), "a command prefix"}},
          {"--error-on", {list(&o.error_on), "a command prefix"}},
          {"--match", {list(&m.match), "a command prefix"}},
          {"--delay", {number(&m.delay_ms, 0, kMaxMs), "milliseconds, 0 to 600000"}},
          {"--pieces", {number(&m.pieces, 1, 1000), "a count from 1 to 1000"}},
          {"--piece-gap", {number(&m.piece_gap_ms, 0, 60000), "milliseconds, 0 to 60000"}},
          {"--long", {number(&m.long_fill, 1, kMaxLongFill), "a byte count from 1 to 65536"}},
      };

  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> inline_value;
    if (size_t equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
      inline_value = name.substr(equals + 1);
      name.resize(equals);
    }
    if (auto s = switches.find(name); s != switches.end()) {
      if (inline_value) {
        result.error = name + " takes no value";
        return result;
      }
      s->second();
      continue;
    }
    if (name == "--long" && !inline_value) {  // the fill length is optional
      m.long_fill = kDefaultLongFill;
      continue;
    }
    auto v = valued.find(name);
    if (v == valued.end()) {
      result.error = "unknown option \"" + args[i] + "\"";
      return result;
    }
    if (!inline_value && i + 1 >= args.size()) {
      result.error = name + " needs " + v->second.second;
      return result;
    }
    std::string value = inline_value ? *inline_value : args[++i];
    if (!v->second.first(value)) {
      result.error = name + ": \"" + value + "\" is not " + v->second.second;
      return result;
    }
  }
  return result;
}

std::string HelpText() {
  return R"(Usage: orvex-gsm-sim [OPTION]...
Simulates the "Orvex GSM" panel at the far end of a pseudo-terminal. The first
line on standard output is the path of the terminal to open (19200 baud, 8N1).
Runs until SIGTERM or SIGINT (or end of standard input, see below).

Commands (each ended by CR):  "+T0n" read key n (1-4), "+T0n"+16 hex digits
write it, "+T00" read the key held to the reader, "+s" read the flag bytes,
"+s"+4 hex digits write them, "+H0n" read number n (1-6), "+H0n"+32 hex digits
write it. Answers: a read gives ">" data CR LF "OK" CR LF, a write "OK" CR LF,
anything else "ERROR" CR LF. "+T00" with no key at the reader waits for one
(see --reader-wait), then answers "ERROR".

Setup:
  --link PATH            also make PATH a symlink to the terminal; removed on exit
  --state FILE           load the panel's memory from FILE (when it exists) and
                         save it after each change; a file that cannot be read is
                         reported and left alone, and the factory settings are used
  --log FILE             one line per received command: local time, TAB, the
                         command with "\" as "\\" and bytes outside " " to "~" as
                         "\xHH"; a line longer than 256 bytes is cut to 256 and
                         gets TAB "overlong, N bytes"
  -v, --verbose          commands, answers and events on standard error
  --present KEY|none     key held to the reader at start, 16 hex digits (panel
                         order); default none
  --reader-wait MS       how long "+T00" waits for a key (default 4000)
  --exit-on-stdin-eof    exit when standard input ends (for tests)
  -h, --help             this text

Control lines on standard input (each answered by one line on standard output):
  present KEY            hold a key to the reader ("presented KEY")
  present none           take it away ("presented none")
  quit                   exit ("bye")

Misbehaviour (for all commands, or only those selected by --match):
  --delay MS             start each answer MS milliseconds late
  --silent               never answer; the command is lost (memory unchanged)
  --pieces N             send each answer in N parts ...
  --piece-gap MS         ... with MS milliseconds between parts (default 50)
  --nul                  a zero byte after every byte of an answer
  --lowercase-ok         "ok" instead of "OK"
  --long[=N]             N filler bytes ("*", default 300) and CR LF before each
                         answer, so that answers exceed 254 bytes
  --bad-hex              the last two characters of reply data become "ZZ"
  --match PREFIX         misbehave only on commands starting with PREFIX
                         (repeatable)

Per command (repeatable, independent of --match):
  --silent-on PREFIX     commands starting with PREFIX are lost: no answer
  --error-on PREFIX      commands starting with PREFIX are refused: "ERROR"
  --hangup-after N       after the N-th command has been answered (and read by
                         the other side, at most 2 s), close the terminal and exit

Exit status: 0 after a signal, end of input, "quit" or a hang-up; 1 when the
terminal, the link or the log cannot be set up; 2 for a wrong command line.
)";
}

}  // namespace orvex_sim
