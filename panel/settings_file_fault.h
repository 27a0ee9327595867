#pragma once
// Why a settings file was refused, as data (SettingsFileError::Fault), and
// whether it is text at all.

#include <string>
#include <string_view>
#include <vector>

#include "panel/settings_file.h"

// The one verdict on a settings file's bytes, for the window and the tool
// alike: every check before anything is sent, then the parse. kind kNone
// with the image, else why not.
struct SettingsVerdict {
  SettingsFileFault fault;
  std::string message;  // the parser's English for a refused line; empty otherwise
  PanelImage image;
};
SettingsVerdict JudgeSettingsFile(std::string_view bytes);
