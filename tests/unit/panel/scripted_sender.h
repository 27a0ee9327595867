#pragma once
// A panel for the page operations without a line: each command gets the
// reply scripted for its text; an unscripted command is treated like a closed
// port, which leaves the caller's reply as it was.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "panel/commands.h"
#include "panel/exchange.h"
#include "panel/operation.h"
#include "panel/page_link.h"

struct SentCommand {
  std::string command;
  int32_t attempts;
  int32_t budget;
};

struct ScriptedSender {
  std::map<std::string, std::string> replies;  // command -> whole reply text
  std::vector<SentCommand> sent;

  // A reply carrying data the way the panel sends it.
  void AnswerWithData(const std::string& command, const std::string& data) {
    replies[command] = "\r\n>" + data + "\r\nOK\r\n";
  }

  CommandSender Sender() {
    return
        [this](const std::string& command, int32_t attempts, int32_t budget, std::string& reply) {
          sent.push_back({command, attempts, budget});
          const auto found = replies.find(command);
          if (found != replies.end()) reply = found->second;
        };
  }

  std::vector<std::string> Commands() const {
    std::vector<std::string> texts;
    for (const SentCommand& s : sent) texts.push_back(s.command);
    return texts;
  }
};

// The reply data as it comes (ExtractReply), whatever it holds: the pages'
// own rules alone, without the runner's checks.
inline DataReader LiteralData(const CommandSender& send) {
  return [send](const Step& step) {
    std::string reply;
    send(step.command, kCommandAttempts, step.budget, reply);
    return ExtractReply(reply);
  };
}
