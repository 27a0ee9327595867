#include "support/debug_switch.h"

#include "support/ini_file.h"
#include "support/log.h"

namespace {

std::string UpperAsciiLetters(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

bool DebugSwitch(const std::string& configIniPath, const std::string& firstArgument) {
  const std::string configured =
      UpperAsciiLetters(ReadIniString(configIniPath, "Main", "Debug", "False"));
  if (UpperAsciiLetters(firstArgument) == "DEBUG") return true;
  return configured == "TRUE";
}

void ApplyDebugSwitch(int argc, char** argv) {
  ApplyDebugSwitch(argc > 1 && argv[1] != nullptr ? argv[1] : "");
}

void ApplyDebugSwitch(const std::string& firstArgument) {
  const std::string directory = ExecutableDirectory();
  // An empty path opens nothing, so an unknown directory reads as a missing file.
  const std::string configIniPath = directory.empty() ? std::string() : directory + "Config.ini";
  DebugMode = DebugSwitch(configIniPath, firstArgument);
}
