#include <iostream>
#include <string>
#include <vector>

#include "panel/stored_port_map.h"
#include "support/standard_streams.h"
#include "tools/cli/cli.h"

int main(int argc, char** argv) {
  // With standard output closed, the port would be opened as descriptor 1
  // and the settings text written to the panel.
  OpenClosedStandardDescriptors();
  // A COM name mapped once for the window (a USB adapter) means the same
  // device here.
  InstallStoredPortMap();
  return RunCli(std::vector<std::string>(argv + 1, argv + argc), std::cin, std::cout, std::cerr);
}
