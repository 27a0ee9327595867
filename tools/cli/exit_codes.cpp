#include "tools/cli/exit_codes.h"

#include <ostream>

void Tell(std::ostream& err, const std::string& text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    // Joined messages bring their own line ends: an empty line would be
    // nothing but the program's name.
    if (end > start) err << kProgramName << ": " << text.substr(start, end - start) << "\n";
    start = end + 1;
  }
  err.flush();
}
