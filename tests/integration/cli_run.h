#pragma once
// The command-line tool run in this process, as the end-to-end tests call it.

#include <sstream>
#include <string>
#include <vector>

#include "tools/cli/cli.h"

namespace orvex_test {

struct CliRun {
  int code;
  std::string out;
  std::string err;
};

inline CliRun Cli(const std::vector<std::string>& args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  const int code = RunCli(args, in, out, err);
  return {code, out.str(), err.str()};
}

// The file without its "#" header, which holds the time of the read.
inline std::string Body(const std::string& file) {
  std::string body;
  std::istringstream lines(file);
  for (std::string line; std::getline(lines, line);)
    if (!line.starts_with("#")) body += line + "\n";
  return body;
}

inline constexpr const char* kSettings =
    "# gate panel\n"
    "key1=0123456789ABCDEF\n"
    "key2=1111111111111111\n"
    "key3=00000000000000a5\n"
    "key4=FFFFFFFFFFFFFFFF\n"
    "number1=+79161234567\n"
    "number2=112\n"
    "number3=\n"
    "number4=hex:3839002A000000000000000000000000\n"
    "number5=+7\n"
    "number6=0123456789012345\n"
    "dial1=1\ndial2=1\ndial3=0\ndial4=1\ndial5=0\ndial6=1\n"
    "day1=0\nday2=1\nday3=0\nday4=0\nday5=1\nday6=0\n";

}  // namespace orvex_test
