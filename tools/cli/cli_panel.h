#pragma once
// One panel worked on by the tool: the link with its options, and the steps
// that the single commands and the bench loop share. Each step tells its
// faults on cx.err and sums them up in its outcome.

#include <string>
#include <vector>

#include "panel/panel_image.h"
#include "panel/panel_session.h"
#include "tools/cli/cli_commands.h"

struct Link {
  explicit Link(const CliContext& cx);
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  StandalonePort port;
  PanelSession session{port};
};

struct PanelOutcome {
  int code = 0;         // the exit code
  std::string summary;  // "verified", "differs in number1", "not confirmed: +H03", ...
};

// With --debug: the log takes its first line, else exit 1 after a message.
int StartLog(const CliContext& cx, const std::string& what);

// Opens the port and probes; the exit code (after a message) when the panel
// cannot be talked to, 0 when it answered. quietly: no message.
int Reach(Link& link, const CliContext& cx, bool quietly = false);

// Reads the panel exactly (twice with cx.verify). After Reach.
PanelOutcome ReadPanel(Link& link, const CliContext& cx, PanelImage& image);

// Writes the image, then (unless cx.no_verify) reads it back and compares.
// A write the panel refused is still read back, to name what now differs.
PanelOutcome WritePanel(Link& link, const CliContext& cx, const PanelImage& image);

// Names the fields in which the panel differs from the file, with both values.
void TellDifferences(const PanelImage& file, const PanelImage& panel, const std::string& what,
                     const CliContext& cx);
