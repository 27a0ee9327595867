#pragma once
// The debug switch: at start-up, debug mode is chosen from the first
// command-line argument or from "Config.ini" beside the program.

#include <string>

// The directory of the program's executable with its trailing separator, or
// an empty text when the system does not tell it.
std::string ExecutableDirectory();

// True when the first argument is "DEBUG", or else when the value of key
// "Debug" in section "Main" of the file at configIniPath (default "False") is
// "TRUE", both compared after turning a to z into upper case. Nothing else is
// trimmed or accepted: "1", "Yes" or "DEBUG " leave debug mode off. A missing
// or unreadable file reads as "False".
bool DebugSwitch(const std::string& configIniPath, const std::string& firstArgument);

// Sets DebugMode from "Config.ini" in ExecutableDirectory() and the program's
// first argument (an empty text when there is none). Config.ini is not looked
// for in the current directory, so when the program's directory is unknown it
// reads as missing.
void ApplyDebugSwitch(const std::string& firstArgument);
// The same with argv[1]; argv as the program got it, before any toolkit took
// its own options out.
void ApplyDebugSwitch(int argc, char** argv);
