#include "panel/exchange.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "support/log.h"
#include "support/text_codec.h"

namespace {

constexpr uint32_t kReceiveBufferSize = 1000;
// Received bytes start behind position 0, which stays 0.
constexpr uint32_t kFirstReceived = 1;
constexpr uint32_t kReplyEnd = 255;  // the reply text is made of positions 0 to 254
constexpr uint32_t kSliceCount = 600;
constexpr size_t kLabelLimit = 30;
// A line that never falls silent must not keep a command from being sent.
constexpr uint64_t kStaleLimit = 64 * 1024;

std::string SentLine(const std::string& label, int32_t attempt) {
  static const std::string head = Utf8ToCp1251("Успешно отправили команду { ");
  static const std::string tail = Utf8ToCp1251(" } с попытки № ");
  return head + label + tail + std::to_string(attempt);
}

std::string FailedLine(const std::string& label, int32_t attempt) {
  static const std::string head = Utf8ToCp1251("Не смогли отправить команду { ");
  static const std::string tail = Utf8ToCp1251(" } с попытки № ");
  return head + label + tail + std::to_string(attempt);
}

std::string CancelLine(const std::string& label) {
  static const std::string head = Utf8ToCp1251("Отмена отправки команды { ");
  return head + label + " } ";
}

std::string DiscardLine(const std::string& label) {
  static const std::string head = Utf8ToCp1251("Отброшены данные до команды { ");
  return head + label + " }";
}

// Holds the port's event dispatch for as long as it lives, so that the hold
// is released exactly once on every way out of an exchange.
class EventHold {
 public:
  explicit EventHold(TCustomComm& comm) : comm_(comm) { comm_.HoldEvents(true); }
  ~EventHold() { comm_.HoldEvents(false); }
  EventHold(const EventHold&) = delete;
  EventHold& operator=(const EventHold&) = delete;

 private:
  TCustomComm& comm_;
};

// Reads away what the queue holds into late, no more than kStaleLimit bytes
// in all; true when anything was queued.
bool ReadAwayQueued(TCustomComm& comm, std::vector<uint8_t>& late, uint64_t& total) {
  bool any = false;
  uint8_t scratch[256];
  while (total < kStaleLimit) {
    const uint32_t queued = comm.QueuedBytes(0);
    if (queued == 0) break;
    const uint32_t want =
        static_cast<uint32_t>(std::min<uint64_t>({queued, sizeof scratch, kStaleLimit - total}));
    const uint32_t got = std::min(comm.ReadData(scratch, want, 0), want);
    if (got == 0) break;  // the count and the read disagree: do not spin
    late.insert(late.end(), scratch, scratch + got);
    total += got;
    any = true;
  }
  return any;
}

// Reads into came until the line has been quiet for quietMs counted from
// quietFrom, for no more than capMs from now nor beyond kStaleLimit bytes.
void AwaitQuiet(TCustomComm& comm, std::vector<uint8_t>& came, uint64_t& total, uint32_t quietFrom,
                uint32_t quietMs, uint32_t capMs) {
  const uint32_t start = TickMs();
  for (;;) {
    const uint32_t now = TickMs();
    const uint32_t quiet = now - quietFrom;
    const uint32_t waited = now - start;
    if (quiet >= quietMs || waited >= capMs || total >= kStaleLimit) break;
    uint8_t first = 0;
    if (comm.ReadData(&first, 1, std::min(quietMs - quiet, capMs - waited)) == 0) continue;
    came.push_back(first);
    ++total;
    ReadAwayQueued(comm, came, total);
    quietFrom = TickMs();
  }
}

// Bytes waiting before the command goes out answer an earlier command;
// counting them would put every following reply onto the wrong command. With
// quietSince set (a failed attempt on this port ended then), the line must
// also have been quiet for a slice, but for no longer than kQuietCapMs, so a
// babbling line cannot stall the link.
void DiscardLateBytes(ExchangeHost& host, const std::string& command, const std::string& label,
                      std::optional<uint32_t> quietSince) {
  TCustomComm& comm = host.Comm1();
  std::vector<uint8_t> late;
  uint64_t total = 0;
  const bool queued = ReadAwayQueued(comm, late, total);
  // Bytes found queued came at some unknown moment: count from now.
  if (quietSince)
    AwaitQuiet(comm, late, total, queued ? TickMs() : *quietSince, kSliceMs, kQuietCapMs);
  if (late.empty()) return;
  WriteLog({}, false, late);
  WriteLog(DiscardLine(label), true, EmptyData);
  std::string bytes;
  for (uint8_t b : late)
    if (b != 0) bytes += static_cast<char>(b);
  host.NoteReadAway(command, bytes);
}

// One slice: up to 600 bytes within 100 ms, stored behind those already
// received. Once the buffer is full the slice still waits out its time on the
// line, so that the attempt lasts as long as its caller allowed and the rest
// of the answer is read away rather than left for the next command; those
// bytes go nowhere, as they could neither hold a new "OK" in the buffer nor
// be part of the reply text.
void ReadSlice(TCustomComm& comm, std::vector<uint8_t>& buffer, uint32_t& received,
               std::vector<uint8_t>& overflow) {
  const uint32_t room = kReceiveBufferSize - kFirstReceived - received;
  if (room == 0) {
    overflow.resize(kSliceCount);
    comm.ReadData(overflow.data(), kSliceCount, kSliceMs);
    return;
  }
  const uint32_t count = std::min(kSliceCount, room);
  received +=
      std::min(comm.ReadData(buffer.data() + kFirstReceived + received, count, kSliceMs), count);
}

// A line of the received bytes that ends the answer: "OK" CR LF, or a
// refusal that begins with "ERR", each standing at the start of a line. The
// panel sends its data line before it, so nothing of the answer follows.
bool AnswerComplete(const std::vector<uint8_t>& buffer, uint32_t received) {
  const std::string_view text(reinterpret_cast<const char*>(buffer.data()) + kFirstReceived,
                              received);
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string_view::npos) return false;
    const std::string_view line = text.substr(start, end - start);
    if (line == "OK" || line.starts_with("ERR")) return true;
    start = end + 2;
  }
  return false;
}

// One slice that ends as soon as the answer is complete: waits for the next
// byte for what is left of the slice, then takes everything queued with it.
// True when the answer is complete. A full buffer waits out the slice as
// ReadSlice does.
bool ReadSliceUntilAnswered(TCustomComm& comm, std::vector<uint8_t>& buffer, uint32_t& received,
                            std::vector<uint8_t>& overflow) {
  const uint32_t start = TickMs();
  for (;;) {
    const uint32_t room = kReceiveBufferSize - kFirstReceived - received;
    const uint32_t spent = TickMs() - start;
    if (spent >= kSliceMs) return false;
    if (room == 0) {
      overflow.resize(kSliceCount);
      comm.ReadData(overflow.data(), kSliceCount, kSliceMs - spent);
      return false;
    }
    uint8_t* at = buffer.data() + kFirstReceived + received;
    if (std::min(comm.ReadData(at, 1, kSliceMs - spent), 1u) == 0) return false;
    ++received;
    const uint32_t more = std::min({comm.QueuedBytes(0), room - 1, kSliceCount});
    if (more > 0) received += std::min(comm.ReadData(at + 1, more, 0), more);
    if (AnswerComplete(buffer, received)) return true;
  }
}

std::string ReceivedText(const std::vector<uint8_t>& buffer, uint32_t received) {
  std::string text;
  for (uint32_t i = kFirstReceived; i < kFirstReceived + received; ++i)
    if (buffer[i] != 0) text += static_cast<char>(buffer[i]);
  return text;
}

std::string ReplyText(const std::vector<uint8_t>& buffer) {
  std::string text;
  for (uint32_t i = 0; i < kReplyEnd; ++i) {
    if (buffer[i] != 0) text += static_cast<char>(buffer[i]);
  }
  return text;
}

}  // namespace

std::string WatchLineUntil(TCustomComm& comm, uint32_t until, uint32_t quietFrom) {
  std::vector<uint8_t> came;
  uint64_t total = 0;
  if (ReadAwayQueued(comm, came, total)) quietFrom = TickMs();
  const uint32_t start = TickMs();
  // Budgets are unsigned differences of readings: until may lie behind now.
  const uint32_t ahead = static_cast<int32_t>(until - start) > 0 ? until - start : 0;
  const uint32_t cap = ahead + kQuietCapMs;
  for (;;) {
    const uint32_t now = TickMs();
    const uint32_t waited = now - start;
    const uint32_t quiet = now - quietFrom;
    uint32_t wait = waited < ahead ? ahead - waited : 0;
    if (quiet < kSliceMs) wait = std::max(wait, kSliceMs - quiet);
    if (wait == 0 || waited >= cap || total >= kStaleLimit) break;
    uint8_t first = 0;
    if (comm.ReadData(&first, 1, std::min(wait, cap - waited)) == 0) continue;
    came.push_back(first);
    ++total;
    ReadAwayQueued(comm, came, total);
    quietFrom = TickMs();
  }
  return std::string(came.begin(), came.end());
}

std::string LogLabel(std::string_view command) {
  if (command.size() < kLabelLimit) return std::string(command);
  return std::string(command.substr(0, kLabelLimit)) + ".....";
}

bool ReplyHasOk(std::span<const uint8_t> bytes) {
  for (size_t i = 0; i + 1 < bytes.size(); ++i) {
    if (bytes[i] == 'O' && bytes[i + 1] == 'K') return true;
  }
  return false;
}

std::string ExtractReply(std::string_view text) {
  const size_t marker = text.find('>');
  if (marker == std::string_view::npos) return {};
  const std::string_view rest = text.substr(marker + 1);
  const size_t end = rest.find("\r\n");
  if (end == std::string_view::npos) return {};
  return std::string(rest.substr(0, end));
}

void SendCommand(ExchangeHost& host, const std::string& command, int32_t attempts, int32_t budget,
                 std::string& reply) {
  TCustomComm& comm = host.Comm1();
  if (!comm.Opened()) return;
  const std::string label = LogLabel(command);
  std::vector<uint8_t> buffer(kReceiveBufferSize);
  std::vector<uint8_t> overflow;
  reply.clear();
  EventHold hold(comm);
  const std::string line = command + "\r";

  for (int32_t attempt = 1; attempt <= attempts; ++attempt) {
    const uint64_t port = comm.OpenSerial();
    ExchangeHost::FailedAttempt& owed = host.LastFailedAttempt();
    std::optional<uint32_t> quietSince;
    if (owed.port == port) quietSince = owed.endedAt;
    owed.port = 0;
    DiscardLateBytes(host, command, label, quietSince);
    comm.SendString(line);  // a short write only shows as a missing "OK"
    host.NoteSent(command, budget);
    std::fill(buffer.begin(), buffer.end(), 0);
    uint32_t received = 0;
    bool accepted = false;
    // Every slice counts as 100 ms, however long it really took.
    for (int64_t elapsed = 0; elapsed < budget; elapsed += kSliceMs) {
      if (host.EndsAnswersEarly())
        ReadSliceUntilAnswered(comm, buffer, received, overflow);
      else
        ReadSlice(comm, buffer, received, overflow);
      accepted = ReplyHasOk(buffer);
      if (accepted) {
        WriteLog({}, false, buffer);
        break;
      }
      WriteLog("error", true, EmptyData);
    }
    if (!accepted) owed = {port, TickMs()};
    if (accepted) {
      host.SetConnected(true);
      WriteLog(SentLine(label, attempt), true, EmptyData);
      reply = ReplyText(buffer);
      return;
    }
    host.SetConnected(false);
    if (received > 0) host.NoteUnaccepted(command, ReceivedText(buffer, received));
    WriteLog(FailedLine(label, attempt), true, EmptyData);
    if (attempt == attempts) break;  // keeps ++attempt from overflowing
  }
  WriteLog(CancelLine(label), true, EmptyData);
}
