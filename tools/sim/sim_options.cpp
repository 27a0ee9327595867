#include "sim_options.h"

#include <getopt.h>

#include <charconv>
#include <cstring>
#include <functional>
#include <type_traits>

namespace {

constexpr int kMaxMs = 600000;
constexpr int kMaxLongFill = 65536;
constexpr int kDefaultLongFill = 300;

bool ParseInt(const std::string& text, int64_t low, int64_t high, int64_t& out) {
  int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    return false;
  }
  out = value;
  return true;
}

// "PREFIX:NUMBER", the number optional when `fallback` is given.
bool ParsePrefixValue(const std::string& text, int64_t low, int64_t high,
                      std::optional<int64_t> fallback, PrefixValue& out) {
  const size_t colon = text.rfind(':');
  PrefixValue entry;
  entry.prefix = text.substr(0, colon);
  if (colon == std::string::npos) {
    if (!fallback) return false;
    entry.value = *fallback;
  } else if (!ParseInt(text.substr(colon + 1), low, high, entry.value)) {
    return false;
  }
  if (entry.prefix.empty()) return false;
  out = std::move(entry);
  return true;
}

// One option of the command line: its long name, whether it takes a value,
// and what it does with it (false: the value is not what `wants` says).
struct OptionRule {
  const char* name;
  int has_arg;
  const char* wants;  // what the value must be, for the error message
  std::function<bool(const std::string&)> apply;
};

}  // namespace

bool StartsWithAny(const std::string& text, const std::vector<std::string>& prefixes) {
  for (const std::string& prefix : prefixes) {
    if (text.compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

const PrefixValue* FindPrefix(const std::string& text, const std::vector<PrefixValue>& entries) {
  for (const PrefixValue& entry : entries) {
    if (text.compare(0, entry.prefix.size(), entry.prefix) == 0) return &entry;
  }
  return nullptr;
}

bool Misbehaviour::AppliesTo(const std::string& command) const {
  return match.empty() || StartsWithAny(command, match);
}

ParsedOptions ParseSimOptions(const std::vector<std::string>& args) {
  ParsedOptions result;
  SimOptions& o = result.options;
  Misbehaviour& m = o.misbehaviour;

  auto flag = [](bool* target) {
    return [=](const std::string&) {
      *target = true;
      return true;
    };
  };
  auto number = [](auto* target, int64_t low, int64_t high) {
    return [=](const std::string& v) {
      int64_t value;
      if (!ParseInt(v, low, high, value)) return false;
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
  auto prefixed = [](std::vector<PrefixValue>* target, int64_t low, int64_t high,
                     std::optional<int64_t> fallback) {
    return [=](const std::string& v) {
      PrefixValue entry;
      if (!ParsePrefixValue(v, low, high, fallback, entry)) return false;
      target->push_back(std::move(entry));
      return true;
    };
  };
  const std::vector<OptionRule> rules = {
      {"link", required_argument, "a path", text(&o.link)},
      {"state", required_argument, "a file name", text(&o.stateFile)},
      {"log", required_argument, "a file name", text(&o.logFile)},
      {"verbose", no_argument, "", flag(&o.verbose)},
      {"present", required_argument, "16 hexadecimal digits or \"none\"",
       [&](const std::string& v) {
         if (v == "none") {
           o.presented.reset();
           return true;
         }
         KeyBytes key;
         if (!FromHex(v, key)) return false;
         o.presented = key;
         return true;
       }},
      {"reader-wait", required_argument, "milliseconds, 0 to 600000",
       number(&o.readerWaitMs, 0, kMaxMs)},
      {"control", no_argument, "", flag(&o.control)},
      {"exit-on-stdin-eof", no_argument, "", flag(&o.exitOnStdinEof)},
      {"help", no_argument, "", flag(&result.help)},
      {"version", no_argument, "", flag(&result.version)},
      {"delay", required_argument, "milliseconds, 0 to 600000", number(&m.delayMs, 0, kMaxMs)},
      {"silent", no_argument, "", flag(&m.silent)},
      {"pieces", required_argument, "a count from 1 to 1000", number(&m.pieces, 1, 1000)},
      {"piece-gap", required_argument, "milliseconds, 0 to 60000", number(&m.pieceGapMs, 0, 60000)},
      {"nul", no_argument, "", flag(&m.nul)},
      {"lowercase-ok", no_argument, "", flag(&m.lowercaseOk)},
      {"long", optional_argument, "a byte count from 1 to 65536",
       [&](const std::string& v) {
         if (v.empty()) {  // "--long" alone: the default fill
           m.longFill = kDefaultLongFill;
           return true;
         }
         return number(&m.longFill, 1, kMaxLongFill)(v);
       }},
      {"bad-hex", no_argument, "", flag(&m.badHex)},
      {"match", required_argument, "a command prefix", list(&m.match)},
      {"silent-on", required_argument, "a command prefix", list(&o.silentOn)},
      {"error-on", required_argument, "a command prefix", list(&o.errorOn)},
      {"late", required_argument, "PREFIX:MS, MS from 0 to 600000",
       prefixed(&o.lateOn, 0, kMaxMs, std::nullopt)},
      {"twice", required_argument, "PREFIX[:MS], MS from 0 to 600000",
       prefixed(&o.twiceOn, 0, kMaxMs, 0)},
      {"answer-as", required_argument, "PREFIX:COMMAND",
       [&](const std::string& v) {
         const size_t colon = v.find(':');
         if (colon == std::string::npos || colon == 0 || colon + 1 == v.size()) return false;
         o.answerAs.push_back(AnswerSwap{v.substr(0, colon), v.substr(colon + 1)});
         return true;
       }},
      {"hangup-mid", required_argument, "PREFIX[:BYTES], BYTES from 0 to 65536",
       [&](const std::string& v) {
         std::vector<PrefixValue> one;
         if (!prefixed(&one, 0, kMaxLongFill, -1)(v)) return false;
         o.hangupMid = one.front();
         return true;
       }},
      {"hangup-after", required_argument, "a count of at least 1",
       number(&o.hangupAfter, 1, INT64_MAX)},
  };

  // getopt_long reports the option by its index in `rules` (val); the short
  // forms -v and -h stand for --verbose and --help.
  std::vector<option> table;
  for (size_t i = 0; i < rules.size(); ++i) {
    table.push_back(option{rules[i].name, rules[i].has_arg, nullptr, static_cast<int>(i) + 256});
  }
  table.push_back(option{nullptr, 0, nullptr, 0});
  auto indexOf = [&](const char* name) {
    for (size_t i = 0; i < rules.size(); ++i) {
      if (std::strcmp(rules[i].name, name) == 0) return static_cast<int>(i) + 256;
    }
    return 0;
  };

  std::vector<std::string> words = args;
  words.insert(words.begin(), "orvex-gsm-sim");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(words.size());

  optind = 0;  // a fresh scan (glibc)
  opterr = 0;  // the messages are ours
  for (;;) {
    const int previous = optind == 0 ? 1 : optind;
    const int code = getopt_long(argc, argv.data(), "+:vh", table.data(), nullptr);
    if (code == -1) break;
    // The word that was being looked at, as the user typed it.
    const std::string word = previous < argc ? argv[static_cast<size_t>(previous)] : "";
    const std::string name = word.substr(0, word.find('='));
    if (code == '?') {
      int matches = 0;  // getopt_long takes a unique abbreviation of a long name
      for (const OptionRule& rule : rules) {
        if (name.size() > 2 && std::string(rule.name).rfind(name.substr(2), 0) == 0) ++matches;
      }
      const int known = optopt >= 256 ? optopt : 0;
      result.error = known         ? "--" + std::string(rules[known - 256].name) + " takes no value"
                     : matches > 1 ? "ambiguous option \"" + word + "\""
                                   : "unknown option \"" + word + "\"";
      return result;
    }
    if (code == ':') {
      const int known = optopt >= 256 ? optopt : indexOf(name.c_str() + 2);
      const OptionRule* rule = known ? &rules[known - 256] : nullptr;
      result.error = rule ? "--" + std::string(rule->name) + " needs " + rule->wants
                          : "option " + name + " needs a value";
      return result;
    }
    const int index = code == 'v' ? indexOf("verbose") : code == 'h' ? indexOf("help") : code;
    const OptionRule& rule = rules[static_cast<size_t>(index - 256)];
    const std::string value = optarg ? optarg : "";
    if (!rule.apply(value)) {
      result.error = "--" + std::string(rule.name) + ": \"" + value + "\" is not " + rule.wants;
      return result;
    }
  }
  if (optind < argc) {
    result.error = "unexpected argument \"" + std::string(argv[static_cast<size_t>(optind)]) + "\"";
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
                         save it after each change, once the answer is out; it
                         holds every change when the simulator has ended; a file
                         that cannot be read is reported and left alone, and the
                         factory settings are used
  --log FILE             one line per received command: local time, TAB, the
                         command with "\" as "\\" and bytes outside " " to "~" as
                         "\xHH"; a line longer than 256 bytes is cut to 256 and
                         gets TAB "overlong, N bytes"
  -v, --verbose          commands, answers and events on standard error
  --present KEY|none     key held to the reader at start, 16 hex digits (panel
                         order); default none
  --reader-wait MS       how long "+T00" waits for a key (default 4000)
  --control              obey control lines on standard input (below); without
                         it standard input is never read, so the simulator can
                         run in the background of an interactive shell
  --exit-on-stdin-eof    exit when standard input ends (for tests)
  -h, --help             this text
      --version          print "orvex-gsm-sim VERSION" and exit

Control lines on standard input, with --control (each answered by one line on
standard output):
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
  --late PREFIX:MS       answer commands starting with PREFIX MS milliseconds
                         late; later answers still follow in command order
  --twice PREFIX[:MS]    answer commands starting with PREFIX twice, the copy MS
                         milliseconds after the answer (default 0: right behind)
  --answer-as PREFIX:CMD answer commands starting with PREFIX as if CMD had been
                         received (CMD is carried out instead, e.g. +H02:+H05)
  --hangup-mid PREFIX[:BYTES]
                         send only the first BYTES bytes (default: half) of the
                         answer to the first command starting with PREFIX (a
                         count beyond its length sends it whole), then close the
                         terminal 40 ms later, once the other side has read
                         them, and exit

Exit status: 0 after a signal, end of input, "quit" or a hang-up; 1 when the
terminal, the link or the log cannot be set up; 2 for a wrong command line.
)";
}
