#include "model_line.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "panel_protocol.h"
#include "panel_state.h"
#include "tests/virtual/silent_events.h"

namespace model {
namespace {

uint32_t g_clock = 0;

constexpr int kEio = 5;  // what a pulled-out adapter answers on POSIX

// The most an answer in time takes: well inside the first slice.
constexpr uint32_t kInTimeMs = 80;
// How late a copy may come after its answer: far past every guard.
constexpr uint32_t kCopyLatestMs = 2500;
constexpr uint32_t kBeyondLatestMs = 1500;

uint32_t BudgetOf(const std::string& command) {
  if (command == "+T00") return 5000;
  if (command.starts_with("+T")) return 250;
  return 500;
}

bool IsWrite(const std::string& command) {
  if (command.starts_with("+s")) return command.size() > 2;
  return command.size() > 4;
}

PanelState ToState(const FaultyPanel::Memory& m) {
  PanelState state;
  for (int i = 0; i < kKeySlots; ++i) FromHex(m.keys[i], state.keys[i]);
  state.dial = m.dial;
  state.h24 = m.day;
  for (int i = 0; i < kEvents; ++i) FromHex(m.numbers[i], state.numbers[i]);
  return state;
}

FaultyPanel::Memory FromState(const PanelState& state) {
  FaultyPanel::Memory m;
  for (int i = 0; i < kKeySlots; ++i) m.keys[i] = ToHex(state.keys[i]);
  m.dial = state.dial;
  m.day = state.h24;
  for (int i = 0; i < kEvents; ++i) m.numbers[i] = ToHex(state.numbers[i]);
  return m;
}

// The reply of a command of another kind: a write's bare "OK" for a read, a
// read's data for a write; never one of the same shape, which would be
// another memory rather than a fault.
std::string OtherReply(const std::string& command, bool pickFirst) {
  if (IsWrite(command)) return ">0102030405060708\r\nOK\r\n";
  if (pickFirst) return "OK\r\n";
  if (command.starts_with("+s")) return ">0102030405060708\r\nOK\r\n";
  return ">3F01\r\nOK\r\n";
}

// Where the first mark of an answer ends: a cut that keeps less is no answer.
size_t FirstMarkEnd(const std::string& answer) {
  size_t end = answer.size();
  for (const char* mark : {">", "OK", "ERR"}) {
    const size_t at = answer.find(mark);
    if (at != std::string::npos) end = std::min(end, at + std::strlen(mark));
  }
  return end;
}

bool InsideMark(const std::string& answer, size_t at) {
  for (const char* mark : {">", "OK", "ERR"}) {
    const size_t length = std::strlen(mark);
    for (size_t found = answer.find(mark); found != std::string::npos;
         found = answer.find(mark, found + 1))
      if (at >= found && at < found + length) return true;
  }
  return false;
}

}  // namespace

void SetClock(uint32_t ms) {
  g_clock = ms;
}

uint32_t Clock() {
  return g_clock;
}

const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::kInTime:
      return "in time";
    case Fault::kLateInBudget:
      return "late inside its budget";
    case Fault::kLateBeyond:
      return "late beyond its budget";
    case Fault::kTwice:
      return "twice";
    case Fault::kRefused:
      return "refused";
    case Fault::kOtherReply:
      return "another command's reply";
    case Fault::kGarbled:
      return "garbled";
    case Fault::kCut:
      return "cut";
    case Fault::kSilent:
      return "silent";
    case Fault::kLineLost:
      return "line lost";
  }
  return "?";
}

uint32_t FaultDraw::Uniform(uint32_t low, uint32_t high) {
  return std::uniform_int_distribution<uint32_t>(low, high)(random_);
}

Fault FaultDraw::Next() {
  if (static_cast<int>(Uniform(0, 99)) >= fault_percent_) return Fault::kInTime;
  // The line lost ends a case: drawn less often than the rest.
  static constexpr Fault kFaults[] = {
      Fault::kLateInBudget, Fault::kLateBeyond,   Fault::kTwice, Fault::kRefused,
      Fault::kOtherReply,   Fault::kGarbled,      Fault::kCut,   Fault::kSilent,
      Fault::kTwice,        Fault::kLateInBudget,
  };
  Fault fault = Uniform(0, 40) == 0 ? Fault::kLineLost : kFaults[Uniform(0, 9)];
  if (copied_ && (fault == Fault::kSilent || fault == Fault::kLateBeyond)) fault = Fault::kInTime;
  if (fault == Fault::kTwice) copied_ = true;
  return fault;
}

void FaultyPanel::Receive(const std::string& command, uint32_t now) {
  CommandRecord record{command, now, Fault::kInTime, {}, 0, 0};
  std::optional<Forced> forced;
  const std::string name = command.substr(0, command.starts_with("+s") ? 2 : 4);
  for (auto it = script.begin(); it != script.end(); ++it) {
    if (it->first != name) continue;
    forced = it->second;
    script.erase(it);
    break;
  }
  record.fault = forced ? forced->fault : draw.Next();
  const uint32_t budget = BudgetOf(command);
  const bool keepsMemory = record.fault == Fault::kRefused || record.fault == Fault::kOtherReply ||
                           record.fault == Fault::kSilent || record.fault == Fault::kLineLost;
  PanelState state = ToState(memory);
  std::optional<KeyBytes> atReader;
  if (presented) {
    KeyBytes key{};
    FromHex(*presented, key);
    atReader = key;
  }
  const PanelAnswer answer = HandleCommand(state, command, atReader);
  if (!keepsMemory) memory = FromState(state);
  std::string bytes = AnswerText(answer);

  record.delay = draw.Uniform(1, kInTimeMs);
  switch (record.fault) {
    case Fault::kInTime:
      break;
    case Fault::kLateInBudget:
      record.delay = draw.Uniform(kInTimeMs + 20, budget - 1);
      break;
    case Fault::kLateBeyond:
      record.delay = draw.Uniform(budget, budget + kBeyondLatestMs);
      break;
    case Fault::kTwice:
      record.copyDelay = draw.Uniform(0, kCopyLatestMs);
      break;
    case Fault::kRefused:
      bytes = "ERROR\r\n";
      record.delay = draw.Uniform(1, budget - 1);
      break;
    case Fault::kOtherReply:
      bytes = OtherReply(command, draw.Uniform(0, 1) == 0);
      break;
    case Fault::kGarbled: {
      // Once an answer has been copied, the garble spares the marks (see
      // FaultDraw): an answer without one is a silent command.
      const size_t at = draw.Uniform(0, static_cast<uint32_t>(bytes.size()) - 1);
      if (!draw.Copied() || !InsideMark(bytes, at)) bytes[at] = '?';
      break;
    }
    case Fault::kCut: {
      // Once an answer has been copied, a cut keeps its first mark (see
      // FaultDraw).
      const uint32_t least = draw.Copied() ? static_cast<uint32_t>(FirstMarkEnd(bytes)) : 0;
      bytes.resize(draw.Uniform(least, static_cast<uint32_t>(bytes.size()) - 1));
      break;
    }
    case Fault::kSilent:
      bytes.clear();
      break;
    case Fault::kLineLost:
      bytes.clear();
      breakAt = now + draw.Uniform(0, budget);
      break;
  }
  if (forced) {
    record.delay = forced->delay;
    record.copyDelay = forced->copyDelay;
  }
  record.answer = bytes;
  if (!bytes.empty()) {
    arrivals.push_back({now + record.delay, bytes});
    if (record.fault == Fault::kTwice)
      arrivals.push_back({now + record.delay + record.copyDelay, bytes});
  }
  records.push_back(record);
}

std::string FaultyPanel::Trace() const {
  std::string text;
  for (const CommandRecord& r : records) {
    text += "  at " + std::to_string(r.at) + " ms " + r.command + ": " + FaultName(r.fault);
    if (!r.answer.empty()) {
      text += ", answered after " + std::to_string(r.delay) + " ms";
      if (r.fault == Fault::kTwice) text += ", copy " + std::to_string(r.copyDelay) + " ms later";
    }
    text += "\n";
  }
  return text;
}

namespace {

class ModelDevice final : public SilentEvents {
 public:
  explicit ModelDevice(std::shared_ptr<FaultyPanel> panel) : panel_(std::move(panel)) {}

  bool GetState(Dcb& dcb) override {
    dcb = dcb_;
    return true;
  }
  bool SetState(const Dcb& dcb) override {
    dcb_ = dcb;
    return true;
  }
  bool SetupQueues(uint32_t, uint32_t) override { return true; }
  bool Purge(uint32_t actions) override {
    if (actions & kPurgeRxClear) rx_.clear();
    return true;
  }
  bool GetTimeouts(CommTimeouts& timeouts) override {
    timeouts = timeouts_;
    return true;
  }
  bool SetTimeouts(const CommTimeouts& timeouts) override {
    timeouts_ = timeouts;
    return true;
  }
  bool GetQueueSizes(CommQueueSizes& sizes) override {
    sizes = {4096, 4096};
    return true;
  }
  bool ClearErrors(CommQueueCounts& counts) override {
    Deliver();
    counts.cbInQue = static_cast<uint32_t>(rx_.size());
    counts.cbOutQue = 0;
    return true;
  }
  bool Write(const uint8_t* data, uint32_t count, uint32_t& written) override {
    Deliver();
    written = 0;
    if (broken_) return false;
    for (uint32_t i = 0; i < count; ++i) {
      const char c = static_cast<char>(data[i]);
      if (c != '\r') {
        line_ += c;
        continue;
      }
      panel_->Receive(line_, g_clock);
      line_.clear();
    }
    written = count;
    return true;
  }
  bool Read(uint8_t* data, uint32_t count, uint32_t& read) override {
    Deliver();
    read = 0;
    if (broken_ && rx_.empty()) return false;
    read = static_cast<uint32_t>(std::min<size_t>(count, rx_.size()));
    std::memcpy(data, rx_.data(), read);
    rx_.erase(0, read);
    return true;
  }
  LineWait WaitReadable(uint32_t timeoutMs) override {
    Deliver();
    if (broken_) return LineWait::kBroken;
    if (!rx_.empty()) return LineWait::kReady;
    uint32_t until = g_clock + std::max<uint32_t>(timeoutMs, 1);
    for (const FaultyPanel::Arrival& a : panel_->arrivals)
      if (static_cast<int32_t>(a.at - g_clock) > 0 && static_cast<int32_t>(a.at - until) < 0)
        until = a.at;
    if (panel_->breakAt && static_cast<int32_t>(*panel_->breakAt - g_clock) > 0 &&
        static_cast<int32_t>(*panel_->breakAt - until) < 0)
      until = *panel_->breakAt;
    g_clock = until;
    Deliver();
    if (broken_) return LineWait::kBroken;
    return rx_.empty() ? LineWait::kTimedOut : LineWait::kReady;
  }
  LineWait WaitWritable(uint32_t) override {
    return broken_ ? LineWait::kBroken : LineWait::kReady;
  }

  SystemError LastError() const override { return {kEio, "Input/output error"}; }

 private:
  // Arrivals whose time has come reach the queue in the order of their times.
  void Deliver() {
    std::vector<FaultyPanel::Arrival>& arrivals = panel_->arrivals;
    std::stable_sort(arrivals.begin(), arrivals.end(),
                     [](const auto& a, const auto& b) { return a.at < b.at; });
    size_t due = 0;
    while (due < arrivals.size() && static_cast<int32_t>(arrivals[due].at - g_clock) <= 0)
      rx_ += arrivals[due++].bytes;
    arrivals.erase(arrivals.begin(), arrivals.begin() + static_cast<std::ptrdiff_t>(due));
    if (panel_->breakAt && static_cast<int32_t>(*panel_->breakAt - g_clock) <= 0) broken_ = true;
  }

  std::shared_ptr<FaultyPanel> panel_;
  std::string rx_;
  std::string line_;
  bool broken_ = false;
  Dcb dcb_;
  CommTimeouts timeouts_;
};

}  // namespace

std::unique_ptr<CommDevice> MakeModelDevice(std::shared_ptr<FaultyPanel> panel) {
  return std::make_unique<ModelDevice>(std::move(panel));
}

}  // namespace model

// --- What the platform backend defines ------------------------------------

uint32_t TickMs() {
  return model::Clock();
}

// The rest of the platform: tests/virtual/no_real_devices.cpp.
