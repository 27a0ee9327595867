#include <iostream>
#include <string>
#include <vector>

#include "tools/cli/cli.h"

int main(int argc, char** argv) {
  return RunCli(std::vector<std::string>(argv + 1, argv + argc), std::cin, std::cout, std::cerr);
}
