#include "support/log.h"

#include <cerrno>
#include <fstream>
#include <system_error>

#include "support/os_services.h"

bool DebugMode = false;
const std::vector<uint8_t> EmptyData;

namespace {

constexpr const char* kLogName = "log.txt";

// "log.txt" open for appending for the span of one entry. The file is created
// only when it does not exist: an existing log that cannot be appended to is
// reported, never emptied, so that the trace gathered so far survives.
class LogFile {
 public:
  LogFile() {
    errno = 0;
    file_.open(kLogName, std::ios::binary | std::ios::app);
    if (!file_.is_open()) Fail("Cannot open");
  }

  void Write(std::string_view piece) {
    errno = 0;
    file_.write(piece.data(), static_cast<std::streamsize>(piece.size()));
    file_.flush();
    if (!file_) Fail("Cannot write");
  }

  void Write(uint8_t byte) { Write(std::string_view(reinterpret_cast<const char*>(&byte), 1)); }

  // The destructor closes the file on every other way out.
  void Close() {
    errno = 0;
    file_.close();
    if (!file_) Fail("Cannot close");
  }

 private:
  [[noreturn]] static void Fail(const char* what) {
    std::string message = std::string(what) + " \"" + kLogName + "\"";
    if (errno != 0) message += ": " + std::generic_category().message(errno);
    throw EInOutError(message);
  }

  std::ofstream file_;
};

void WriteDataBytes(LogFile& file, std::span<const uint8_t> data) {
  for (uint8_t byte : data) {
    if (byte != 0) file.Write(byte);
  }
}

}  // namespace

std::string LogStamp() {
  std::string stamp = ShortDateText();
  stamp += ' ';
  stamp += LongTimeText();
  return stamp;
}

void WriteLog(std::string_view message, bool stamped, std::span<const uint8_t> data) {
  if (!DebugMode) return;
  LogFile file;
  if (stamped && !message.empty()) {
    std::string line = "# " + LogStamp() + " # ";
    line += message;
    line += " #\r\n";
    file.Write(line);
  } else if (stamped) {
    file.Write("# " + LogStamp() + " # ");
    WriteDataBytes(file, data);
    file.Write(" ###\r\n");
  } else if (!message.empty()) {
    file.Write(message);
  } else {
    WriteDataBytes(file, data);
  }
  file.Close();
}
