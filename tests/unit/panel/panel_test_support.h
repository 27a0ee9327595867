#pragma once
// Shared pieces of the panel tests: a panel at the far end of the fake line
// that answers each command as it is written, a host for the exchange, and a
// temporary working directory with debug mode on, where log.txt is read back.

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/fake_comm_device.h"
#include "fakes/temp_dir.h"
#include "panel/exchange.h"
#include "support/log.h"
#include "support/text_codec.h"

// Bytes the panel puts on the line, afterMs after the command was written.
struct Arrival {
  std::string bytes;
  uint32_t afterMs = 0;
};

// Forwards everything to the fake device and hands each complete command
// line (up to its "\r") to the panel, so that answers are timed from the
// moment the command went out.
class AnsweringDevice final : public CommDevice {
 public:
  AnsweringDevice(std::unique_ptr<CommDevice> inner, std::function<void(const std::string&)> panel)
      : inner_(std::move(inner)), panel_(std::move(panel)) {}

  bool GetState(Dcb& dcb) override { return inner_->GetState(dcb); }
  bool SetState(const Dcb& dcb) override { return inner_->SetState(dcb); }
  bool SetupQueues(uint32_t in, uint32_t out) override { return inner_->SetupQueues(in, out); }
  bool Purge(uint32_t actions) override { return inner_->Purge(actions); }
  bool GetTimeouts(CommTimeouts& t) override { return inner_->GetTimeouts(t); }
  bool SetTimeouts(const CommTimeouts& t) override { return inner_->SetTimeouts(t); }
  bool GetQueueSizes(CommQueueSizes& sizes) override { return inner_->GetQueueSizes(sizes); }
  bool ClearErrors(CommQueueCounts& counts) override { return inner_->ClearErrors(counts); }
  bool Write(const uint8_t* data, uint32_t count, uint32_t& written) override {
    const bool ok = inner_->Write(data, count, written);
    pending_.append(reinterpret_cast<const char*>(data), written);
    for (size_t end; (end = pending_.find('\r')) != std::string::npos;) {
      const std::string command = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      panel_(command);
    }
    return ok;
  }
  bool Read(uint8_t* data, uint32_t count, uint32_t& read) override {
    return inner_->Read(data, count, read);
  }
  LineWait WaitReadable(uint32_t timeoutMs) override { return inner_->WaitReadable(timeoutMs); }
  LineWait WaitWritable(uint32_t timeoutMs) override { return inner_->WaitWritable(timeoutMs); }
  bool SetEventMask(uint32_t mask) override { return inner_->SetEventMask(mask); }
  bool WaitEvent(uint32_t& events) override { return inner_->WaitEvent(events); }
  void CancelEventWait() override { inner_->CancelEventWait(); }
  SystemError LastError() const override { return inner_->LastError(); }

 private:
  std::unique_ptr<CommDevice> inner_;
  std::function<void(const std::string&)> panel_;
  std::string pending_;
};

// The exchange's view of the window: the port and the connection box.
class TestHost : public ExchangeHost {
 public:
  TestHost() : line(std::make_shared<FakeLine>()) {
    comm.SetDeviceFactory([this](const std::string&) -> std::unique_ptr<CommDevice> {
      return std::make_unique<AnsweringDevice>(
          MakeFakeDevice(line), [this](const std::string& command) { OnCommand(command); });
    });
  }
  ~TestHost() override {
    if (comm.Opened()) comm.CloseDevice();
  }

  TCustomComm& Comm1() override { return comm; }
  void SetConnected(bool checked) override { connected.push_back(checked); }

  void Open() { comm.OpenDevice(); }
  // The panel's answer to the next command written; a command without a
  // scripted answer gets silence.
  void Answer(std::vector<Arrival> arrivals) { answers.push_back(std::move(arrivals)); }

  std::shared_ptr<FakeLine> line;
  TSerialComm comm;
  std::vector<bool> connected;        // every tick (true) and clear (false) of xCon
  std::vector<std::string> commands;  // every command line the panel received
  std::vector<int32_t> holds_seen;    // HoldCount while each command was written
  std::deque<std::vector<Arrival>> answers;

 private:
  void OnCommand(const std::string& command) {
    commands.push_back(command);
    holds_seen.push_back(comm.HoldCount());
    if (answers.empty()) return;
    for (const Arrival& a : answers.front()) line->Arrive(a.bytes, a.afterMs);
    answers.pop_front();
  }
};

// Runs each test in a fresh directory with debug mode on, so that log.txt is
// the test's own.
class LogDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = std::make_unique<orvex_test::ScratchDir>();
    dir_ = scratch_->path();
    old_debug_ = DebugMode;
    DebugMode = true;
  }
  void TearDown() override {
    DebugMode = old_debug_;
    scratch_.reset();
  }

  bool LogExists() const { return std::filesystem::exists(dir_ / "log.txt"); }

  // log.txt with every stamp replaced by "STAMP", so that lines compare byte
  // for byte.
  std::string Log() const { return WithoutStamps(ReadFileBytes(dir_ / "log.txt")); }

  // Each "# <stamp> # " (a stamp holds no "#" and no line end) becomes
  // "# STAMP # ".
  static std::string WithoutStamps(const std::string& text) {
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
      const size_t open = text.find("# ", at);
      if (open == std::string::npos) break;
      const size_t close = text.find(" # ", open + 2);
      if (close != std::string::npos && close > open + 2 &&
          text.find_first_of("#\r\n", open + 2) >= close) {
        out.append(text, at, open - at).append("# STAMP # ");
        at = close + 3;
      } else {
        out.append(text, at, open + 2 - at);
        at = open + 2;
      }
    }
    return out.append(text, std::min(at, text.size()));
  }

  // A stamped message line, the message given in UTF-8.
  static std::string Line(const std::string& utf8) {
    return "# STAMP # " + Utf8ToCp1251(utf8) + " #\r\n";
  }

  std::filesystem::path dir_;

 private:
  std::unique_ptr<orvex_test::ScratchDir> scratch_;
  bool old_debug_ = false;
};
