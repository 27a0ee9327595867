#pragma once
// The command exchange: one command line out, the panel's answer in, judged
// by the "OK" rule, with every step traced to the diagnostic log.
//
// Command, reply and reply data are 8-bit text in code page 1251 (the bytes
// of the serial line in a std::string); the log lines are written in the same
// code page.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "serial/serial_comm.h"

// The reply budget of the probe and of the key commands, in milliseconds.
inline constexpr int32_t DefaultReplyWait = 250;
// An attempt reads in slices of this many milliseconds; a line must also have
// been quiet this long before a command follows a failed attempt, and after
// an operation's last answer.
inline constexpr uint32_t kSliceMs = 100;
// No wait for a quiet line lasts longer than this: a line that never falls
// silent must not stall the link.
inline constexpr uint32_t kQuietCapMs = 1000;

// What the exchange needs of the main window: its serial port and its
// connection box "Связь с охранной панелью" (xCon). The window implements it;
// so does the command-line tool, over a port of its own.
class ExchangeHost {
 public:
  virtual ~ExchangeHost() = default;
  virtual TCustomComm& Comm1() = 0;
  // Ticks (true) or clears (false) the connection box. Raises no further
  // action in the window.
  virtual void SetConnected(bool checked) = 0;
  // True to end an attempt as soon as its answer is complete (a line "OK" CR
  // LF, or a refusal line "ERR..." CR LF) instead of at the end of its slice.
  // Everything else of the exchange stays as it is. The window keeps the
  // slices.
  virtual bool EndsAnswersEarly() const { return false; }
  // What came in an attempt that ended without "OK" (the bytes as received,
  // zero bytes left out), so that a caller can say what the panel answered
  // instead. Nothing for an attempt that received nothing.
  virtual void NoteUnaccepted(const std::string& /*command*/, const std::string& /*received*/) {}
  // What was read away as late before command went out (zero bytes left
  // out): it came after the answer of the command before, so a caller that
  // checks replies can refuse that one.
  virtual void NoteReadAway(const std::string& /*command*/, const std::string& /*bytes*/) {}
  // The command went out, with this budget: until the budget has run out,
  // an answer to it may still come.
  virtual void NoteSent(const std::string& /*command*/, int32_t /*budget*/) {}

  // An answer that comes after its attempt gave up belongs to that attempt's
  // command, not to the next one. So after an attempt that ended without
  // "OK" the host remembers which opening of the port it was on (the port's
  // OpenSerial, unique in the process, so a port closed and opened again, as
  // the scan does, owes nothing) and when it ended; the next transmission on
  // that same opening waits until the line has been quiet for a slice.
  struct FailedAttempt {
    uint64_t port = 0;  // 0: nothing owed
    uint32_t endedAt = 0;
  };
  FailedAttempt& LastFailedAttempt() { return failed_attempt_; }

 private:
  FailedAttempt failed_attempt_;
};

// Sends command + "\r" up to attempts times, each time collecting the answer
// in 100 ms slices for budget ms. On acceptance reply holds the first 254
// bytes received (zero bytes left out) and the connection box is ticked; on
// failure reply is empty and the box cleared. A closed port changes nothing,
// not even reply. Errors of the serial component and of the log pass through
// at once; the port's event hold is released on every way out.
// Bytes already waiting before a command is sent are a late answer to an
// earlier command: they are read away (and logged in debug mode) first. After
// an attempt that ended without "OK", the next transmission on the same
// opening of the port also waits until the line has been quiet for 100 ms
// (at most about 1 s), reading away what comes meanwhile.
// The host is the window, or the tool's standalone port: there is no
// program-wide one.
void SendCommand(ExchangeHost& host, const std::string& command, int32_t attempts, int32_t budget,
                 std::string& reply);

// Reads what arrives until the clock has reached until (a TickMs reading) and
// the line has been quiet for kSliceMs since quietFrom or the last byte that
// came, whichever is later; never more than kQuietCapMs past until (nor past
// 64 KiB). Returns those bytes, empty when the line stayed quiet. The end of
// an operation: nothing more may follow its last answer.
std::string WatchLineUntil(TCustomComm& comm, uint32_t until, uint32_t quietFrom);

// True when an "O" (0x4F) is directly followed by a "K" (0x4B) anywhere in
// bytes; zero bytes do not end the scan. Upper case only.
bool ReplyHasOk(std::span<const uint8_t> bytes);

// The characters after the first ">" up to the first CR LF that follows it;
// empty when either is missing.
std::string ExtractReply(std::string_view text);

// The command as the log shows it: whole under 30 characters, otherwise its
// first 30 characters and ".....".
std::string LogLabel(std::string_view command);
