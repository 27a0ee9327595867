#include "tools/cli/cli.h"

#include <getopt.h>

#include <cstdlib>
#include <iostream>
#include <map>

#include "serial/port_choice.h"
#include "serial/serial_types.h"
#include "support/form_state.h"
#include "support/log.h"
#include "support/port_map_store.h"
#include "support/registry_key.h"
#include "support/system_io.h"
#include "tools/cli/cli_commands.h"
#include "tools/cli/cli_platform.h"
#include "tools/cli/cli_ports.h"

namespace {

// The port lines are the system's own: Windows names its ports itself, Linux
// has device paths and the port map.
std::string Usage() {
  const PortHelp& ports = HelpOnPorts();
  return std::string(
             "usage: orvex-gsm-cli [OPTION]... COMMAND [ARG]...\n"
             "\n"
             "Commands:\n"
             "  probe             does the panel answer on the port?\n"
             "  scan              the port, then " +
             StandardPortRange() +
             ", then the adapters found: prints\n"
             "                    the name of the port where the panel answers\n"
             "  read              the panel's keys, numbers and flags as a settings file\n"
             "  write FILE        the settings file FILE (- for standard input) to the panel,\n"
             "                    then the panel read back and compared\n"
             "  diff FILE         the panel read and compared with FILE; nothing is written\n"
             "  set FIELD=VALUE...\n"
             "                    the named fields of the settings file changed on the panel\n"
             "                    (number3=+79161234567 dial3=1; key2=presented takes the key\n"
             "                    held to the reader); the panel read back and compared\n"
             "  read-key          the key presented to the panel's reader\n") +
         ports.commands +
         "  set-port NAME     the port the window's port box starts with\n"
         "\n"
         "Options:\n" +
         ports.portOption +
         "  -d, --debug       trace every exchange to log.txt in the current directory\n"
         "  -o, --output=FILE read: write the settings file to FILE instead of standard output\n"
         "      --verify      read, diff: read the panel twice, in two orders, and compare\n"
         "      --no-verify   write, set: do not read the panel back\n"
         "      --fast        end each exchange as soon as its answer is complete, not at\n"
         "                    the end of its 100 ms slice" +
         ports.fastMore +
         "\n"
         "      --repeat      write, read -o DIR: one panel after another on the port,\n"
         "                    until Ctrl-C\n"
         "  -q, --quiet       write, read -o, diff, set: no line saying what was done\n"
         "      --plain       " +
         ports.plainCommands +
         ": tab-separated fields, for scripts\n"
         "  -h, --help        this text\n"
         "  -V, --version     the tool's version\n"
         "\n";
}

constexpr int kOptVerify = 256;
constexpr int kOptNoVerify = 257;
constexpr int kOptPlain = 258;
constexpr int kOptFast = 259;
constexpr int kOptRepeat = 260;

const option kLongOptions[] = {
    {"port", required_argument, nullptr, 'p'},
    {"debug", no_argument, nullptr, 'd'},
    {"output", required_argument, nullptr, 'o'},
    {"verify", no_argument, nullptr, kOptVerify},
    {"no-verify", no_argument, nullptr, kOptNoVerify},
    {"plain", no_argument, nullptr, kOptPlain},
    {"fast", no_argument, nullptr, kOptFast},
    {"repeat", no_argument, nullptr, kOptRepeat},
    {"quiet", no_argument, nullptr, 'q'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

// The command's name and how many arguments it takes.
const std::map<std::string, size_t> kCommands = {
    {"probe", 0}, {"scan", 0}, {"read", 0},  {"write", 1},    {"diff", 1}, {"read-key", 0},
    {"ports", 0}, {"map", 0},  {"unmap", 1}, {"set-port", 1}, {"set", 1},
};
// Commands that take any number of arguments beyond their least.
bool TakesMore(const std::string& command) {
  return command == "set";
}

// The port the user most likely means: the one named for this shell, else
// the one the window last used (not looked for in a store already said to
// be unreadable).
std::string DefaultPort(std::ostream& err, bool storeUnreadable, std::string& source) {
  source = "$ORVEX_GSM_PORT";
  if (const char* env = std::getenv("ORVEX_GSM_PORT"); env != nullptr && *env != '\0') return env;
  source = "the default";
  if (storeUnreadable) return kDefaultPortName;
  try {
    auto key = DefaultRegistryStore().OpenKey(FormStateKeyPath(kMainWindowName), false);
    if (key->ValueExists(kPortBoxTextValue)) {
      const std::string saved = key->ReadString(kPortBoxTextValue);
      source = "the window's saved port";
      if (!saved.empty()) return saved;
      source = "the default";
    }
  } catch (const std::exception& e) {
    Tell(err, std::string("the window's saved port is not used: ") + e.what());
  }
  return kDefaultPortName;
}

// Output that never arrived is no success (a full disk, /dev/full, a closed
// standard output).
int Delivered(std::ostream& out, std::ostream& err, int code) {
  out.flush();
  if (code == kExitOk && !out) {
    Tell(err, "cannot write to standard output");
    return kExitCannotWrite;
  }
  return code;
}

// Once per run, before a command that resolves port names: a port map that
// cannot be read would otherwise make COM5 open /dev/ttyS4 without a word.
// True when it was said.
bool TellUnreadableMap(bool portGiven, std::ostream& err) {
  const std::string fault = PortMapFault(DefaultRegistryStore());
  if (fault.empty()) return false;
  Tell(err, "the port map is not used: " + fault +
                "\nuntil that file is repaired or moved away, COMn means /dev/ttyS(n-1)" +
                (portGiven ? "" : " and the window's saved port is not looked at") + "\n" +
                StoreUnreadableHint());
  return true;
}

int Usage(std::ostream& err, const std::string& problem) {
  Tell(err, problem + "\nTry 'orvex-gsm-cli --help' for more information.");
  return kExitUsage;
}

std::string OptionName(int code, const char* text) {
  for (const option& o : kLongOptions) {
    if (o.name != nullptr && o.val == code) return std::string("--") + o.name;
  }
  return text != nullptr ? text : std::string("-") + static_cast<char>(code);
}

int Run(const std::string& command, const std::vector<char*>& argv, bool portGiven,
        CliContext& cx) {
  std::ostream& out = *cx.out;
  std::ostream& err = *cx.err;
  if (!HasPortMap() && (command == "map" || command == "unmap")) {
    Tell(err, NoPortMapText(command));
    return kExitUsage;
  }
  // The port map's own commands and the list need no port. Those that change
  // the store say themselves when it cannot be read.
  if (command == "map" && argv[optind + 1] != nullptr)
    return MapPort(argv[optind + 1], argv[optind + 2], out, err);
  if (command == "unmap") return UnmapPort(argv[optind + 1], out, err);
  if (command == "set-port") return SetWindowPort(argv[optind + 1], out, err);
  // Where COM names are the system's own, no map can change what they open.
  const bool storeUnreadable = HasPortMap() && TellUnreadableMap(portGiven, err);
  if (command == "map") return ListPortMap(cx.plain, storeUnreadable, out, err);
  if (command == "ports") return ListPorts(cx.plain, out, err);
  if (!portGiven) cx.port = DefaultPort(err, storeUnreadable, cx.port_source);
  DebugMode = cx.debug;
  try {
    if (command == "probe") return ProbeCommand(cx);
    if (command == "scan") return ScanCommand(cx);
    if (command == "read") return ReadCommand(cx);
    if (command == "write") return WriteCommand(cx, argv[optind + 1]);
    if (command == "diff") return DiffCommand(cx, argv[optind + 1]);
    if (command == "set")
      return SetCommand(cx, std::vector<std::string>(argv.begin() + optind + 1, argv.end() - 1));
    return ReadKeyCommand(cx);
  } catch (const std::exception& e) {
    // Each command words the faults of the line itself; anything else ends
    // the command and says where.
    Tell(err, command + " on " + cx.port + " failed: " + e.what());
    return kExitNotAccepted;
  }
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err) {
  std::vector<std::string> storage{"orvex-gsm-cli"};
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : storage) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(storage.size());

  CliContext cx;
  cx.in = &in;
  cx.out = &out;
  cx.err = &err;
  // A progress line only where a person watches it.
  cx.progress = &err == &std::cerr && IsTerminal(2);
  bool portGiven = false;
  // Our own messages, not getopt's: they go to `err`, and name the option.
  opterr = 0;
  optind = 0;  // a fresh scan for every call
  for (;;) {
    const int code = getopt_long(argc, argv.data(), ":p:do:qhV", kLongOptions, nullptr);
    if (code == -1) break;
    switch (code) {
      case 'p':
        cx.port = optarg;
        portGiven = true;
        break;
      case 'd':
        cx.debug = true;
        break;
      case 'o':
        cx.output = optarg;
        break;
      case kOptVerify:
        cx.verify = true;
        break;
      case kOptNoVerify:
        cx.no_verify = true;
        break;
      case kOptPlain:
        cx.plain = true;
        break;
      case kOptFast:
        cx.fast = true;
        break;
      case kOptRepeat:
        cx.repeat = true;
        break;
      case 'q':
        cx.quiet = true;
        break;
      case 'h':
        out << Usage() << ExitStatusHelp();
        return Delivered(out, err, kExitOk);
      case 'V':
        out << "orvex-gsm-cli " << ORVEX_VERSION << "\n";
        return Delivered(out, err, kExitOk);
      case ':':
        return Usage(err, "option " + OptionName(optopt, argv[optind - 1]) + " needs a value");
      default:
        return Usage(err, "unknown option " +
                              std::string(optopt != 0 ? std::string("-") + static_cast<char>(optopt)
                                                      : argv[optind - 1]));
    }
  }
  if (optind >= argc) return Usage(err, "no command given");
  if (portGiven && cx.port.empty())
    return Usage(err, "the port name is empty: give -p COMn or a device path");
  const std::string command = argv[optind];
  const auto known = kCommands.find(command);
  if (known == kCommands.end()) return Usage(err, "unknown command \"" + command + "\"");
  const size_t given = static_cast<size_t>(argc - optind - 1);
  if (given < known->second) {
    const std::map<std::string, std::string> wanted = {{"write", "a FILE (- for standard input)"},
                                                       {"diff", "a FILE (- for standard input)"},
                                                       {"map", "COMn and a device PATH"},
                                                       {"unmap", "COMn"},
                                                       {"set-port", "a port NAME"},
                                                       {"set", "FIELD=VALUE, one or more"}};
    return Usage(err, command + " needs " + wanted.at(command));
  }
  // map alone lists the map; with arguments it needs both.
  if (command == "map" && given == 1) return Usage(err, "map needs COMn and a device PATH");
  if (given > (command == "map" ? 2 : known->second) && !TakesMore(command))
    return Usage(err, "unexpected argument \"" +
                          std::string(argv[optind + 1 + (command == "map" ? 2 : known->second)]) +
                          "\" after " + command);
  if (!cx.output.empty() && command != "read") return Usage(err, "--output is for read only");
  if (cx.verify && command != "read" && command != "diff")
    return Usage(err, "--verify is for read and diff only");
  if (cx.no_verify && command != "write" && command != "set")
    return Usage(err, "--no-verify is for write and set only");
  if (cx.plain && command != "ports" && !(command == "map" && given == 0))
    return Usage(err, "--plain is for ports and map (the list) only");
  if (cx.repeat && command != "write" && command != "read")
    return Usage(err, "--repeat is for write and read only");
  if (cx.repeat && command == "read" && cx.output.empty())
    return Usage(err, "read --repeat needs -o DIR, the folder for the backups");
  if (cx.repeat && command == "write" && std::string(argv[optind + 1]) == "-")
    return Usage(err, "write --repeat needs a FILE, not standard input");
  if (cx.quiet && command != "write" && command != "read" && command != "diff" && command != "set")
    return Usage(err, "--quiet is for write, read, diff and set only");
  // The read-back is what catches a command missed after a quick answer.
  if (cx.fast && cx.no_verify)
    Tell(err,
         "warning: --fast with --no-verify: a command the panel misses right after an"
         "\nanswer goes unnoticed; leave out --no-verify to have the write read back");
  return Delivered(out, err, Run(command, argv, portGiven, cx));
}
