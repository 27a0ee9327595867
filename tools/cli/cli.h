#pragma once
// orvex-gsm-cli: the panel link without a window, for installers who
// configure many panels and keep a backup of each.

#include <iosfwd>
#include <string>
#include <vector>

#include "tools/cli/exit_codes.h"

// Runs one command line (arguments without the program name). Reads a
// settings file from `in` for "write -".
int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err);
