#include "tools/cli/exit_codes.h"

#include <ostream>
#include <string>

std::string ExitStatusHelp() {
  constexpr size_t kWidth = 79;
  const std::string indent(5, ' ');
  std::string text = "Exit status:\n";
  for (const ExitCodeMeaning& exit : kExitCodeMeanings) {
    std::string line = "  " + std::to_string(exit.code) + "  ";
    const std::string meaning = exit.meaning;
    size_t start = 0;
    while (start < meaning.size()) {
      size_t end = meaning.find(' ', start);
      if (end == std::string::npos) end = meaning.size();
      const std::string word = meaning.substr(start, end - start);
      if (line.size() > indent.size() && line.size() + 1 + word.size() > kWidth) {
        text += line + "\n";
        line = indent;
      } else if (line.back() != ' ') {
        line += ' ';
      }
      line += word;
      start = end + 1;
    }
    text += line + "\n";
  }
  return text;
}

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
