// The command exchange over a scripted line: whatever the panel sends, when
// it sends it, and however the port fails, an exchange ends, stays inside its
// receive buffer, releases the port's event hold, and reports exactly what
// the line carried.
//
// Input layout (all integers little-endian; a short input reads as zeros):
//   u8  mode: 1 port left closed, 2 the driver keeps NUL bytes, 4 debug log on,
//       8 the receive count reports bytes while none wait
//   u8  attempts: 0xFF 100, 0x80 INT32_MIN, other negatives as they
//       are, otherwise modulo 8
//   u16 budget ms: 0x7FFF INT32_MAX, 0x8000 INT32_MIN, other negatives as they
//       are, otherwise modulo 6001
//   u8  command length (modulo 64), then the command's bytes
//   u8  bytes per write call: 0 any number, 0xFF none (the line is stalled)
//   u16 transmit count the driver reports (modulo 1024)
//   u8  added to the receive count while bytes wait
//   u8  read call that fails (0 none), u8 write call that fails (0 none),
//   u8  every n-th queue count query fails (0 none)
//   u32 virtual clock at the start (budgets must survive its wrap)
//   then, to the end: u16 ms after the previous arrival, u16 length (bit 15:
//   the line breaks here), the bytes (length modulo 2048)

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "fuzz/virtual_platform.h"
#include "panel/exchange.h"
#include "panel/panel_port.h"
#include "serial/serial_comm.h"
#include "support/log.h"
#include "support/text_codec.h"

namespace {

constexpr size_t kReplyLimit = 254;
constexpr size_t kBufferedLimit = 999;  // received bytes the 1000-byte buffer holds
// The exchange's timing as this target expects it, written apart from
// panel/exchange.h on purpose: the check must not take its rule from the code
// it checks.
constexpr uint32_t kOracleSliceMs = 100;
// More attempts than any caller makes; billions would only wait for the line
// to break.
constexpr int32_t kManyAttempts = 100;
// After a failed attempt the next transmission waits for a quiet slice, for
// about a second at most, unless this much was read away meanwhile.
constexpr uint32_t kOracleQuietCapMs = 1000;
constexpr uint64_t kReadAwayLimit = 64 * 1024;
constexpr uint32_t kIdleMinMs = 40;
constexpr uint32_t kIdleMaxMs = 60;
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool empty() const { return at_ >= size_; }
  uint8_t U8() { return at_ < size_ ? data_[at_++] : 0; }
  uint16_t U16() {
    const uint8_t low = U8();
    return static_cast<uint16_t>(low | (U8() << 8));
  }
  uint32_t U32() {
    const uint32_t low = U16();
    return low | (static_cast<uint32_t>(U16()) << 16);
  }
  std::string Bytes(size_t count) {
    count = std::min(count, size_ - std::min(at_, size_));
    std::string out(reinterpret_cast<const char*>(data_ + at_), count);
    at_ += count;
    return out;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

struct Case {
  bool portClosed = false;
  bool debug = false;
  int32_t attempts = 0;
  int32_t budget = 0;
  std::string command;
  uint32_t clockStart = 0;
  fuzz::LineScript line;
};

int32_t AttemptsFrom(uint8_t b) {
  if (b == 0xFF) return kManyAttempts;
  if (b == 0x80) return std::numeric_limits<int32_t>::min();
  const auto v = static_cast<int8_t>(b);
  return v < 0 ? v : v % 8;
}

int32_t BudgetFrom(uint16_t b) {
  if (b == 0x7FFF) return std::numeric_limits<int32_t>::max();
  if (b == 0x8000) return std::numeric_limits<int32_t>::min();
  const auto v = static_cast<int16_t>(b);
  return v < 0 ? v : v % 6001;
}

Case ReadCase(const uint8_t* data, size_t size) {
  ByteReader in(data, size);
  Case c;
  const uint8_t mode = in.U8();
  c.portClosed = mode & 1;
  c.line.keepNulls = mode & 2;
  c.debug = mode & 4;
  c.line.phantomCount = (mode & 8) != 0;
  c.attempts = AttemptsFrom(in.U8());
  c.budget = BudgetFrom(in.U16());
  c.command = in.Bytes(in.U8() % 64);
  const uint8_t perWrite = in.U8();
  if (perWrite == 0xFF)
    c.line.writeLimit = fuzz::LineScript::kStalled;
  else if (perWrite != 0)
    c.line.writeLimit = perWrite;
  c.line.outQueueReported = in.U16() % 1024;
  c.line.inQueueExtra = in.U8();
  c.line.failReadAt = in.U8();
  c.line.failWriteAt = in.U8();
  c.line.failCountEvery = in.U8();
  c.clockStart = in.U32();
  while (!in.empty()) {
    fuzz::Arrival a;
    a.afterMs = in.U16();
    const uint16_t length = in.U16();
    a.hangUp = length & 0x8000;
    const std::string bytes = in.Bytes(length % 2048);
    a.bytes.assign(bytes.begin(), bytes.end());
    c.line.arrivals.push_back(std::move(a));
  }
  return c;
}

bool HasOk(const std::vector<uint8_t>& bytes, size_t limit) {
  const size_t n = std::min(bytes.size(), limit);
  for (size_t i = 0; i + 1 < n; ++i)
    if (bytes[i] == 'O' && bytes[i + 1] == 'K') return true;
  return false;
}

std::string ExpectedReply(const std::vector<uint8_t>& received) {
  std::string reply;
  for (size_t i = 0; i < std::min(received.size(), kReplyLimit); ++i)
    if (received[i] != 0) reply += static_cast<char>(received[i]);
  return reply;
}

class FuzzHost : public ExchangeHost {
 public:
  explicit FuzzHost(fuzz::LineLog& log) : log_(log) {
    RestorePublishedValues(comm_, Comm1Values());
  }
  TCustomComm& Comm1() override { return comm_; }
  void SetConnected(bool checked) override {
    outcomes.push_back(checked);
    log_.EndAttempt();
  }
  std::vector<bool> outcomes;

 private:
  fuzz::LineLog& log_;
  TSerialComm comm_;
};

// The idle hook keeps the wait window moving: while an exchange waits it is
// called every 40 to 60 ms (of the virtual clock).
struct IdleWatch {
  uint32_t last = 0;
  void Called() {
    const uint32_t gap = fuzz::VirtualClock() - last;
    FUZZ_CHECK(gap >= kIdleMinMs, "the idle hook is called no more often than every 40 ms");
    FUZZ_CHECK(gap <= kIdleMaxMs, "the idle hook is called at least every 60 ms while waiting");
    last = fuzz::VirtualClock();
  }
};

// The log goes to "log.txt" in the current directory: debug-mode runs happen
// in a scratch directory of their own, and the process returns to its own
// directory (where libFuzzer keeps its corpus) afterwards.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    static const Folder dir;
    if (getcwd(home_, sizeof home_) == nullptr || chdir(dir.path.c_str()) != 0) std::abort();
  }
  ~ScratchDirectory() {
    std::remove("log.txt");
    if (chdir(home_) != 0) std::abort();
  }
  // The log written so far; nothing when there is no log file.
  std::optional<std::string> Log() const {
    std::ifstream file("log.txt", std::ios::binary);
    if (!file) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

 private:
  // Made once, removed when the fuzzer exits.
  struct Folder {
    Folder() {
      if (mkdtemp(path.data()) == nullptr) std::abort();
    }
    ~Folder() { rmdir(path.c_str()); }
    std::string path = "/tmp/orvex-fuzz-log-XXXXXX";
  };
  char home_[4096];
};

void CheckAttempt(const Case& c, const fuzz::AttemptRecord& r, bool accepted) {
  const std::string line = c.command + "\r";
  const std::string written(r.written.begin(), r.written.end());
  FUZZ_CHECK(line.compare(0, written.size(), written) == 0,
             "what goes out is the command and its carriage return, nothing else");
  const bool lineTakesBytes = c.line.writeLimit != fuzz::LineScript::kStalled &&
                              c.line.outQueueReported < Comm1Values().BuffersOutputSize &&
                              c.line.failWriteAt == 0;
  if (lineTakesBytes) FUZZ_CHECK(written == line, "a line that takes bytes gets the whole command");
  FUZZ_CHECK(accepted == HasOk(r.received, kBufferedLimit),
             "an attempt succeeds exactly when \"OK\" stands in what it received");
  const uint64_t slices = c.budget <= 0 ? 0 : (static_cast<uint64_t>(c.budget) + 99) / 100;
  if (slices == 0) FUZZ_CHECK(r.received.empty(), "a budget of 0 reads nothing");
  const uint64_t limit = Comm1Values().BuffersOutputTimeout + 1 + slices * (kOracleSliceMs + 1);
  FUZZ_CHECK(static_cast<uint32_t>(r.end - r.sendStart) <= limit,
             "an attempt lasts no longer than its transmission and its slices");
}

// What the log must say where the outcome leaves no choice.
void CheckLog(const Case& c, const std::optional<std::string>& log) {
  if (c.portClosed) {
    FUZZ_CHECK(!log, "a closed port writes no log line");
    return;
  }
  if (c.attempts > 0) return;
  const std::string cancel =
      Utf8ToCp1251("Отмена отправки команды { ") + LogLabel(c.command) + " } ";
  // "# <stamp> # <cancel line> #" and the line end, nothing else.
  const std::string tail = " # " + cancel + " #\r\n";
  FUZZ_CHECK(
      log && log->size() > tail.size() + 2 && log->compare(0, 2, "# ") == 0 &&
          log->compare(log->size() - tail.size(), tail.size(), tail) == 0 &&
          log->substr(2, log->size() - 2 - tail.size()).find_first_of("\r\n#") == std::string::npos,
      "no attempt: the only log line is the cancel line");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Case c = ReadCase(data, size);
  fuzz::SetVirtualClock(c.clockStart);
  fuzz::LineLog log;
  FuzzHost host(log);
  TCustomComm& comm = host.Comm1();
  comm.SetDeviceFactory([&](const std::string&) { return fuzz::MakeScriptedDevice(c.line, log); });
  IdleWatch idle{c.clockStart};
  comm.SetIdleHook([&] { idle.Called(); });
  if (!c.portClosed) comm.OpenDevice();
  const uint64_t callsBefore = log.calls;

  std::string reply = "left as it was";
  bool raised = false;
  {
    std::unique_ptr<ScratchDirectory> scratch;
    if (c.debug) scratch = std::make_unique<ScratchDirectory>();
    DebugMode = c.debug;
    try {
      SendCommand(host, c.command, c.attempts, c.budget, reply);
    } catch (const EDeviceError&) {
      raised = true;  // the line broke or failed: the caller's handler reports it
    }
    DebugMode = false;
    if (scratch) CheckLog(c, scratch->Log());
  }

  FUZZ_CHECK(comm.HoldCount() == 0, "the port's event hold is released on every way out");
  if (c.portClosed) {
    FUZZ_CHECK(reply == "left as it was", "a closed port leaves the reply as it was");
    FUZZ_CHECK(host.outcomes.empty(), "a closed port leaves the connection box as it was");
    FUZZ_CHECK(!log.opened && log.calls == callsBefore, "a closed port is not touched");
    return 0;
  }
  if (!raised)
    FUZZ_CHECK(fuzz::VirtualClock() - idle.last <= kIdleMaxMs,
               "the idle hook is called at least every 60 ms while waiting");
  FUZZ_CHECK(reply.size() <= kReplyLimit, "the reply holds at most 254 bytes");
  FUZZ_CHECK(reply.find('\0') == std::string::npos, "the reply holds no zero byte");
  if (c.attempts <= 0) {
    FUZZ_CHECK(log.attempts.empty(), "no attempt, nothing sent");
    FUZZ_CHECK(reply.empty() && host.outcomes.empty(),
               "no attempt: empty reply, connection box as it was");
    return 0;
  }

  const size_t done = host.outcomes.size();
  FUZZ_CHECK(done <= static_cast<uint64_t>(c.attempts), "no more attempts than asked for");
  FUZZ_CHECK(log.attempts.size() == done || (raised && log.attempts.size() == done + 1),
             "every attempt transmits the command once and reports its outcome");
  const bool accepted = done > 0 && host.outcomes.back();
  for (size_t i = 0; i < done; ++i) {
    FUZZ_CHECK(i + 1 == done || !host.outcomes[i], "the exchange ends at the first success");
    CheckAttempt(c, log.attempts[i], host.outcomes[i]);
  }
  for (size_t i = 1; i < log.attempts.size(); ++i) {
    // Every attempt but the last failed, so each next one waits for the line.
    const uint32_t gap = log.attempts[i].sendStart - log.attempts[i - 1].end;
    FUZZ_CHECK(gap >= kOracleSliceMs || log.attempts[i].readBefore >= kReadAwayLimit,
               "after a failed attempt the command goes out again only on a line quiet for a "
               "slice");
    FUZZ_CHECK(gap <= kOracleQuietCapMs + kOracleSliceMs,
               "a line that never falls quiet holds the next transmission for about a second");
  }
  if (accepted) {
    FUZZ_CHECK(!raised, "a success is final");
    FUZZ_CHECK(reply == ExpectedReply(log.attempts[done - 1].received),
               "the reply is the first 254 bytes received, zero bytes left out");
  } else {
    FUZZ_CHECK(reply.empty(), "a failed exchange leaves an empty reply");
    if (!raised)
      FUZZ_CHECK(done == static_cast<uint64_t>(c.attempts), "a failure uses every attempt");
  }
  return 0;
}
