#include "tools/cli/cli.h"

#include <getopt.h>

#include <cstdlib>
#include <iostream>
#include <map>

#include "support/form_state.h"
#include "support/log.h"
#include "support/registry_key.h"
#include "tools/cli/cli_commands.h"
#include "tools/cli/cli_ports.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr const char* kUsage =
    "usage: orvex-gsm-cli [OPTION]... COMMAND [ARG]...\n"
    "\n"
    "Commands:\n"
    "  probe             does the panel answer on the port?\n"
    "  scan              the port, then COM1 to COM8, then the adapters found: prints\n"
    "                    the name of the port where the panel answers\n"
    "  read              the panel's keys, numbers and flags as a settings file\n"
    "  write FILE        the settings file FILE (- for standard input) to the panel,\n"
    "                    then the panel read back and compared\n"
    "  diff FILE         the panel read and compared with FILE; nothing is written\n"
    "  read-key          the key presented to the panel's reader\n"
    "  ports             the serial ports present, whether this user can open them,\n"
    "                    and what to do when not\n"
    "  map COMn PATH     the port map: COMn opens PATH (use a /dev/serial/by-id/ name,\n"
    "                    which survives replugging)\n"
    "  unmap COMn        COMn means /dev/ttyS(n-1) again\n"
    "  set-port NAME     the port the window's port box starts with\n"
    "\n"
    "Options:\n"
    "  -p, --port=NAME   the port: COMn or a device path (default: $ORVEX_GSM_PORT,\n"
    "                    else the window's port box, else COM2)\n"
    "  -d, --debug       trace every exchange to log.txt in the current directory\n"
    "  -o, --output=FILE read: write the settings file to FILE instead of standard output\n"
    "      --verify      read: read the panel twice and compare\n"
    "      --no-verify   write: do not read the panel back\n"
    "      --fast        end each exchange as soon as its answer is complete, not at\n"
    "                    the end of its 100 ms slice (see the manual page)\n"
    "      --repeat      write, read -o DIR: one panel after another on the port,\n"
    "                    until Ctrl-C\n"
    "  -q, --quiet       write, read -o, diff: no line saying what was done\n"
    "      --plain       ports: tab-separated fields, for scripts\n"
    "  -h, --help        this text\n"
    "  -V, --version     the tool's version\n"
    "\n";

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
    {"probe", 0},    {"scan", 0},  {"read", 0}, {"write", 1}, {"diff", 1},
    {"read-key", 0}, {"ports", 0}, {"map", 2},  {"unmap", 1}, {"set-port", 1},
};

// The port the user most likely means: the one named for this shell, else
// the one the window last used.
std::string DefaultPort(std::ostream& err) {
  if (const char* env = std::getenv("ORVEX_GSM_PORT"); env != nullptr && *env != '\0') return env;
  try {
    auto key = DefaultRegistryStore().OpenKey(FormStateKeyPath(kMainWindowName), false);
    if (key->ValueExists(kPortBoxTextValue)) {
      const std::string saved = key->ReadString(kPortBoxTextValue);
      if (!saved.empty()) return saved;
    }
  } catch (const std::exception& e) {
    Tell(err, std::string("the window's saved port is not used: ") + e.what());
  }
  return "COM2";
}

bool StandardErrorIsTerminal() {
#ifdef _WIN32
  return _isatty(2) != 0;
#else
  return isatty(2) != 0;
#endif
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
  // The port map's own commands and the list need no port.
  if (command == "ports") return ListPorts(cx.plain, out, err);
  if (command == "map") return MapPort(argv[optind + 1], argv[optind + 2], out, err);
  if (command == "unmap") return UnmapPort(argv[optind + 1], out, err);
  if (command == "set-port") return SetWindowPort(argv[optind + 1], out, err);
  if (!portGiven) cx.port = DefaultPort(err);
  DebugMode = cx.debug;
  try {
    if (command == "probe") return ProbeCommand(cx);
    if (command == "scan") return ScanCommand(cx);
    if (command == "read") return ReadCommand(cx);
    if (command == "write") return WriteCommand(cx, argv[optind + 1]);
    if (command == "diff") return DiffCommand(cx, argv[optind + 1]);
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
  cx.progress = &err == &std::cerr && StandardErrorIsTerminal();
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
        out << kUsage << ExitStatusHelp();
        return kExitOk;
      case 'V':
        out << "orvex-gsm-cli " << ORVEX_VERSION << "\n";
        return kExitOk;
      case ':':
        return Usage(err, "option " + OptionName(optopt, argv[optind - 1]) + " needs a value");
      default:
        return Usage(err, "unknown option " +
                              std::string(optopt != 0 ? std::string("-") + static_cast<char>(optopt)
                                                      : argv[optind - 1]));
    }
  }
  if (optind >= argc) return Usage(err, "no command given");
  const std::string command = argv[optind];
  const auto known = kCommands.find(command);
  if (known == kCommands.end()) return Usage(err, "unknown command \"" + command + "\"");
  const size_t given = static_cast<size_t>(argc - optind - 1);
  if (given < known->second) {
    const std::map<std::string, std::string> wanted = {{"write", "a FILE (- for standard input)"},
                                                       {"diff", "a FILE (- for standard input)"},
                                                       {"map", "COMn and a device PATH"},
                                                       {"unmap", "COMn"},
                                                       {"set-port", "a port NAME"}};
    return Usage(err, command + " needs " + wanted.at(command));
  }
  if (given > known->second)
    return Usage(err, "unexpected argument \"" + std::string(argv[optind + 1 + known->second]) +
                          "\" after " + command);
  if (!cx.output.empty() && command != "read") return Usage(err, "--output is for read only");
  if (cx.verify && command != "read") return Usage(err, "--verify is for read only");
  if (cx.no_verify && command != "write") return Usage(err, "--no-verify is for write only");
  if (cx.plain && command != "ports") return Usage(err, "--plain is for ports only");
  if (cx.repeat && command != "write" && command != "read")
    return Usage(err, "--repeat is for write and read only");
  if (cx.repeat && command == "read" && cx.output.empty())
    return Usage(err, "read --repeat needs -o DIR, the folder for the backups");
  if (cx.repeat && command == "write" && std::string(argv[optind + 1]) == "-")
    return Usage(err, "write --repeat needs a FILE, not standard input");
  if (cx.quiet && command != "write" && command != "read" && command != "diff")
    return Usage(err, "--quiet is for write, read and diff only");
  const int code = Run(command, argv, portGiven, cx);
  // Output that never arrived is no success (a full disk, /dev/full).
  out.flush();
  if (code == kExitOk && !out) {
    Tell(err, "cannot write to standard output");
    return kExitCannotWrite;
  }
  return code;
}
