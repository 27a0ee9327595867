#pragma once
// The errors the panel link raises besides those of the serial component.
// Every message is UTF-8, ready for the window's message boxes; whoever logs
// one converts it to code page 1251 first (Utf8ToCp1251).

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// A text that is not a number: "'%s' is not a valid integer value".
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A row of the key list that does not exist: "List index out of bounds (%d)".
class EListError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes that the panel did not confirm: "Охранная панель не подтвердила
// команды: " and the commands without their data, joined by ", ". The
// commands are kept, so that reports of several writes can be joined, with
// what each got instead of its confirmation (empty when nothing was taken).
class EPanelWriteError : public std::runtime_error {
 public:
  // doubtFrom: when the panel answered more often than it was asked, the
  // first write of the operation: an answer taken as one write's "OK" may
  // have been another's, so none from it on can be taken as confirmed.
  explicit EPanelWriteError(std::vector<std::string> commands,
                            std::vector<std::string> replies = {}, std::string doubtFrom = {})
      : std::runtime_error(Message(commands)),
        commands_(std::move(commands)),
        replies_(std::move(replies)),
        doubt_from_(std::move(doubtFrom)) {
    replies_.resize(commands_.size());
  }
  const std::vector<std::string>& Commands() const { return commands_; }
  const std::vector<std::string>& Replies() const { return replies_; }
  const std::string& DoubtFrom() const { return doubt_from_; }

 private:
  static std::string Message(const std::vector<std::string>& commands) {
    std::string message = "Охранная панель не подтвердила команды: ";
    for (size_t i = 0; i < commands.size(); ++i) {
      if (i > 0) message += ", ";
      message += commands[i];
    }
    return message;
  }
  std::vector<std::string> commands_;
  std::vector<std::string> replies_;
  std::string doubt_from_;
};

// A panel that fell silent in the middle of a write: the command it did not
// answer, without its data. What came before it is written, the rest is not.
class EPanelStoppedAnswering : public std::runtime_error {
 public:
  explicit EPanelStoppedAnswering(const std::string& command)
      : std::runtime_error("Охранная панель перестала отвечать на команде " + command),
        command_(command) {}
  const std::string& Command() const { return command_; }

 private:
  std::string command_;
};
