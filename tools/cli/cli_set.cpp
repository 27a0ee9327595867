// `set FIELD=VALUE...`: a few fields changed on a panel that is read exactly
// first, so that everything the user did not name stays as the panel holds
// it. The values are checked by the settings file's own rules, before anything
// is sent.

#include <map>
#include <ostream>

#include "panel/panel_image.h"
#include "panel/settings_file.h"
#include "support/text_codec.h"
#include "tools/cli/cli_commands.h"
#include "tools/cli/cli_interrupt.h"
#include "tools/cli/cli_panel.h"
#include "tools/cli/exit_codes.h"

namespace {

// A key slot given this value takes the key held to the panel's reader.
constexpr std::string_view kPresented = "presented";

struct Assignment {
  std::string name;
  std::string value;
};

// Where the line "name=..." of a formatted settings file begins, or npos.
size_t FieldLine(const std::string& text, const std::string& name) {
  const std::string head = name + "=";
  if (text.starts_with(head)) return 0;
  const size_t at = text.find("\n" + head);
  return at == std::string::npos ? at : at + 1;
}

// The image with the assignments applied, checked as a settings file is;
// empty on success, else what is wrong, naming the field.
std::string Apply(PanelImage& image, const std::vector<Assignment>& assignments) {
  std::string text = FormatSettingsFile(image);
  for (const Assignment& a : assignments) {
    const size_t at = FieldLine(text, a.name);
    const size_t value = at + a.name.size() + 1;
    text.replace(value, text.find('\n', value) - value, a.value);
  }
  try {
    image = ParseSettingsFile(text);
  } catch (const SettingsFileError& e) {
    // The line is one of the text made here, not the user's: the message
    // names the field already.
    const std::string message = e.what();
    const size_t colon = message.find(": ");
    return e.line() > 0 && colon != std::string::npos ? message.substr(colon + 2) : message;
  }
  return {};
}

// The assignments from the command line; empty on success, else what is wrong.
std::string ParseAssignments(const std::vector<std::string>& args,
                             std::vector<Assignment>& assignments) {
  std::map<std::string, bool> seen;
  for (const std::string& arg : args) {
    const size_t eq = arg.find('=');
    if (eq == std::string::npos || eq == 0)
      return std::string("expected FIELD=VALUE, got \"") + EscapedBytes(arg) + "\"";
    Assignment a{arg.substr(0, eq), arg.substr(eq + 1)};
    const auto field = FieldNamed(a.name);
    if (!field)
      return std::string("unknown field \"") + EscapedBytes(a.name) +
             "\" (the fields: " + kFieldNamesText + ")";
    // One value is one line of a settings file: a line end would smuggle in
    // another field.
    if (a.value.find_first_of("\r\n") != std::string::npos)
      return a.name + " must be one line, is \"" + EscapedBytes(a.value) + "\"";
    if (!seen.emplace(a.name, true).second) return a.name + " is given twice";
    if (a.value == kPresented && field->family != FieldFamily::kKey)
      return a.name + " cannot be \"presented\": only a key is held to the reader";
    assignments.push_back(std::move(a));
  }
  // Checked on a blank panel now, so that nothing is sent for a bad value.
  PanelImage blank;
  blank.keys.fill(std::string(kKeyDigits, '0'));
  std::vector<Assignment> trial = assignments;
  for (Assignment& a : trial)
    if (a.value == kPresented) a.value = std::string(kKeyDigits, '0');
  return Apply(blank, trial);
}

std::string Names(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

}  // namespace

int SetCommand(const CliContext& cx, const std::vector<std::string>& args) {
  std::vector<Assignment> assignments;
  if (const std::string fault = ParseAssignments(args, assignments); !fault.empty()) {
    Tell(*cx.err, "set: " + fault + "; nothing was sent");
    return kExitUsage;
  }
  if (const int code = StartLog(cx, "set")) return code;
  Link link(cx);
  if (const int code = Reach(link, cx)) return code;
  for (Assignment& a : assignments) {
    if (a.value != kPresented) continue;
    std::string key;
    if (const int code = PresentedKey(link, cx, key)) return code;
    a.value = Cp1251ToUtf8(key);
    for (Assignment& other : assignments)
      if (other.value == kPresented) other.value = a.value;
  }
  PanelImage before;
  if (const PanelOutcome read = ReadPanel(link, cx, before); read.code != kExitOk) {
    // A lost line says so itself.
    if (!read.lineLost)
      Tell(*cx.err, "set: nothing was written, as the panel could not be read exactly first");
    return read.code;
  }
  PanelImage after = before;
  if (const std::string fault = Apply(after, assignments); !fault.empty()) {
    // Only a presented key is checked here for the first time.
    Tell(*cx.err, "set: " + fault + "; nothing was written");
    return kExitNotAccepted;
  }
  const std::vector<std::string> changed = ImageDifferences(before, after);
  if (changed.empty()) {
    if (!cx.quiet)
      Tell(*cx.err, "the panel on " + cx.port + " already holds that: nothing written");
    return kExitOk;
  }
  // Ctrl-C from here on stops between two commands and says what was left.
  const InterruptScope interrupt;
  CliContext setting = cx;
  setting.redo = std::string(kProgramName) + " -p " + cx.port + " set";
  for (const std::string& arg : args) setting.redo += " " + arg;
  const PanelOutcome outcome = WritePanel(link, setting, after, &before);
  if (outcome.code != kExitOk) return outcome.code;
  if (!cx.quiet)
    Tell(*cx.err, "set " + Names(changed) + " on the panel on " + cx.port +
                      (cx.no_verify ? " (not read back)" : " and read it back: as set"));
  return kExitOk;
}
