#pragma once
// The tool's files: settings files read whole and checked before anything is
// sent, backups written whole or not at all, and what it prints.

#include <string>

#include "panel/panel_image.h"
#include "tools/cli/cli_commands.h"

// The settings file (- for cx.in), checked whole; 0 with the image, else the
// exit code after a message.
int LoadSettingsFile(const std::string& file, const CliContext& cx, PanelImage& image);

// The settings file of a read of cx.port, with its header.
std::string BackupText(const PanelImage& image, const CliContext& cx);

// The text to cx.output (support/system_io.h's WriteOutputFile), or to
// cx.out when none was given or it names standard output; 0, or exit 1 after
// a message.
int Emit(const std::string& text, const CliContext& cx);
