// orvex-gsm-sim: the "Orvex GSM" panel at the far end of a pseudo-terminal,
// for tests and demonstrations of the configurator without the hardware.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "sim_options.h"
#include "sim_server.h"
#include "support/standard_streams.h"

namespace {

// With a standard descriptor closed, the next open() would get its number:
// the pseudo-terminal or the command log would then take the place of our
// output or messages.
void OpenClosedStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) continue;
    const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) close(opened);
  }
}

}  // namespace

int main(int argc, char** argv) {
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
