// orvex-gsm-sim: the "Orvex GSM" panel at the far end of a pseudo-terminal,
// for tests and demonstrations of the configurator without the hardware.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "sim_options.h"
#include "sim_server.h"
#include "support/standard_streams.h"

int main(int argc, char** argv) {
  // With a standard descriptor closed, the next open() would get its number:
  // the pseudo-terminal or the command log would then take the place of our
  // output or messages.
  OpenClosedStandardDescriptors();
  try {
    ParsedOptions parsed = ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
      std::fprintf(stderr, "orvex-gsm-sim: %s\nTry \"orvex-gsm-sim --help\".\n",
                   parsed.error.c_str());
      return 2;
    }
    if (parsed.help) {
      std::fputs(HelpText().c_str(), stdout);
      return 0;
    }
    if (parsed.version) {
      std::fputs("orvex-gsm-sim " ORVEX_VERSION "\n", stdout);
      return 0;
    }
    return RunSimulator(parsed.options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orvex-gsm-sim: %s\n", e.what());
    return 1;
  }
}
