// The exit codes mean the same in --help, the manual page and README: a
// script written from any of them reads the tool's status right.

#include "tools/cli/exit_codes.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "fakes/temp_dir.h"
#include "panel/commands.h"
#include "panel/settings_file.h"
#include "tools/cli/cli.h"
#include "tools/cli/cli_commands.h"

namespace {

std::map<int, std::string> Table() {
  std::map<int, std::string> table;
  for (const ExitCodeMeaning& exit : kExitCodeMeanings) table[exit.code] = exit.meaning;
  return table;
}

std::string SourceText(const std::string& path) {
  return ReadFileBytes(std::string(ORVEX_SOURCE_DIR) + "/" + path);
}

// "  4  a command ...", continued on lines indented by five blanks.
std::map<int, std::string> FromHelp(const std::string& help) {
  std::map<int, std::string> codes;
  std::istringstream lines(help.substr(help.find("Exit status:\n") + 13));
  std::string line;
  int code = -1;
  while (std::getline(lines, line)) {
    EXPECT_LE(line.size(), 80u) << line;
    std::smatch m;
    if (std::regex_match(line, m, std::regex("  (\\d+)  (.*)")))
      codes[code = std::stoi(m[1])] = m[2];
    else if (code >= 0 && line.starts_with("     "))
      codes[code] += " " + line.substr(5);
  }
  return codes;
}

// ".TP", ".B 4", then the text up to the next request, as a sentence.
std::map<int, std::string> FromManualPage(const std::string& page) {
  std::map<int, std::string> codes;
  std::istringstream lines(page.substr(page.find(".SH EXIT STATUS\n")));
  std::string line;
  std::getline(lines, line);
  int code = -1;
  while (std::getline(lines, line)) {
    std::smatch m;
    if (std::regex_match(line, m, std::regex("\\.B (\\d+)"))) {
      code = std::stoi(m[1]);
      codes[code];
    } else if (line.starts_with(".TP")) {
      continue;
    } else if (line.starts_with(".")) {
      break;
    } else if (code >= 0) {
      std::string& text = codes[code];
      text += (text.empty() ? "" : " ") + line;
    }
  }
  for (auto& entry : codes) {
    std::string& text = entry.second;
    // "Done." is "done".
    if (!text.empty()) text[0] = static_cast<char>(std::tolower(text[0]));
    if (text.ends_with(".")) text.pop_back();
    // roff's "\-" is the hyphen the other two write plainly.
    for (size_t at; (at = text.find("\\-")) != std::string::npos;) text.erase(at, 1);
  }
  return codes;
}

// "  | 4 | a command ... |" rows.
std::map<int, std::string> FromReadme(const std::string& readme) {
  std::map<int, std::string> codes;
  std::istringstream lines(readme);
  std::string line;
  while (std::getline(lines, line)) {
    std::smatch m;
    if (std::regex_match(line, m, std::regex(" *\\| (\\d+) \\| (.*) \\|")))
      codes[std::stoi(m[1])] = m[2];
  }
  return codes;
}

TEST(CliExitCodes, HelpManualPageAndReadmeGiveEachCodeTheSameMeaning) {
  std::istringstream in;
  std::ostringstream out, err;
  ASSERT_EQ(RunCli({"--help"}, in, out, err), kExitOk);
  const std::string manual = SourceText("dist/man/orvex-gsm-cli.1");
  const std::string readme = SourceText("README.md");
  ASSERT_FALSE(manual.empty());
  ASSERT_FALSE(readme.empty());
  EXPECT_EQ(FromHelp(out.str()), Table());
  EXPECT_EQ(FromManualPage(manual), Table());
  EXPECT_EQ(FromReadme(readme), Table());
  // The manual's example of a copy begins as the programs write one.
  std::string first = BackupHeader("COM2", "now");
  first = first.substr(0, first.find('\n'));
  std::string shown;
  for (char c : first) shown += c == '-' ? std::string("\\-") : std::string(1, c);
  EXPECT_NE(manual.find("\n# " + shown + "\n"), std::string::npos) << shown;

  // --repeat's probe interval as both documents give it: a probe's budget,
  // then a rest.
  EXPECT_EQ(kRepeatRestMs, 100) << "the documents call the rest a tenth of a second";
  const int period = kProbeBudget + kRepeatRestMs;
  const std::string said = "about every 0." + std::to_string((period + 50) / 100) +
                           " s: each waits out its " + std::to_string(kProbeBudget) +
                           " ms budget, then a tenth of a second";
  for (std::string text : {manual, readme}) {
    text = std::regex_replace(text, std::regex(R"(\\ |\n *)"), " ");
    EXPECT_NE(text.find(said), std::string::npos) << said;
  }
}

}  // namespace
