#pragma once
// One panel worked on by the tool: the link with its options, and the steps
// that the single commands and the bench loop share. Each step tells its
// faults on cx.err and sums them up in its outcome.

#include <string>

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
  int code = 0;           // the exit code
  std::string summary;    // "verified", "differs in number1", "not confirmed: +H03", ...
  bool lineLost = false;  // the line or the log failed, and the message said so
};

// With --debug: the log takes its first line, else exit 1 after a message.
int StartLog(const CliContext& cx, const std::string& what);

// Opens the port and probes; the exit code (after a message) when the panel
// cannot be talked to, 0 when it answered. quietly: no message.
int Reach(Link& link, const CliContext& cx, bool quietly = false);

// Reads the panel exactly (twice with cx.verify, the second time in
// another order). After Reach.
PanelOutcome ReadPanel(Link& link, const CliContext& cx, PanelImage& image);

// Writes the image, then (unless cx.no_verify) reads it back and compares.
// A write the panel refused is still read back, to name what now differs.
// With before (the panel as just read), only the changed fields are sent.
PanelOutcome WritePanel(Link& link, const CliContext& cx, const PanelImage& image,
                        const PanelImage* before = nullptr);

// Names the fields in which the panel differs from the file, with both values;
// wanted says where the first values come from ("file").
void TellDifferences(const PanelImage& file, const PanelImage& panel, const std::string& what,
                     const CliContext& cx, const std::string& wanted = "file");

// Sends the read of the key presented to the reader on a port already open;
// 0 with the key in display order, else the exit code after a message.
int PresentedKey(Link& link, const CliContext& cx, std::string& key);
