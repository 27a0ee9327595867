#include "panel/panel_session.h"

#include "panel/commands.h"
#include "panel/keys_page_ops.h"
#include "panel/numbers_page_ops.h"
#include "panel/panel_errors.h"
#include "panel/panel_port.h"

EPortNotOpen::EPortNotOpen(const std::string& port)
    : std::runtime_error("Порт " + port + " не открыт: в охранную панель ничего не записано"),
      port_(port) {}

std::vector<std::string> ScanOrder(const std::string& first, const std::vector<std::string>& list) {
  std::vector<std::string> order{first};
  order.insert(order.end(), list.begin(), list.end());
  return order;
}

StandalonePort::StandalonePort() {
  RestorePublishedValues(comm_, Comm1Values());
}

void StandalonePort::NoteUnaccepted(const std::string& command, const std::string& received) {
  unaccepted_.emplace_back(command, received);
}

std::string StandalonePort::Unaccepted(const std::string& name) const {
  for (auto it = unaccepted_.rbegin(); it != unaccepted_.rend(); ++it)
    if (it->first.starts_with(name)) return it->second;
  return {};
}

PanelSession::PanelSession(ExchangeHost& host, bool debugMode)
    : host_(host), debug_mode_(debugMode) {}

CommandSender PanelSession::Sender() {
  return [this](const std::string& command, int32_t attempts, int32_t budget, std::string& reply) {
    last_command_ = command;
    SendCommand(host_, command, attempts, budget, reply);
  };
}

bool PanelSession::Probe(const std::string& name) {
  ReopenForPanel(host_.Comm1(), name);
  return SendProbe();
}

bool PanelSession::SendProbe() {
  std::string reply;
  SendCommand(host_, std::string(kProbeCommand), kCommandAttempts, kProbeBudget, reply);
  host_.SetConnected(!reply.empty());
  return !reply.empty();
}

bool PanelSession::PortOpen() {
  return host_.Comm1().Opened();
}

const OpenFailure& PanelSession::LastOpenFailure() {
  return host_.Comm1().LastOpenFailure();
}

std::string PanelSession::PortName() {
  return host_.Comm1().DeviceName();
}

void PanelSession::RequireOpenPort() {
  if (!PortOpen()) throw EPortNotOpen(PortName());
}

void PanelSession::ReadAll(KeyList& keys, NumbersPage& numbers) {
  const CommandSender send = Sender();
  ReadKeys(keys, send);
  ReadNumsBClick(numbers, send, debug_mode_);
}

void PanelSession::WriteAll(KeyList& keys, NumbersPage& numbers) {
  RequireOpenPort();
  const CommandSender send = Sender();
  // A key the panel did not confirm must not cost the numbers their write.
  std::vector<std::string> unconfirmed;
  try {
    WriteKeys(keys, send);
  } catch (const EPanelWriteError& error) {
    unconfirmed = error.Commands();
  }
  try {
    WriteNumsBClick(numbers, send);
  } catch (const EPanelWriteError& error) {
    unconfirmed.insert(unconfirmed.end(), error.Commands().begin(), error.Commands().end());
  }
  if (!unconfirmed.empty()) throw EPanelWriteError(unconfirmed);
}

void PanelSession::ReadNumbers(NumbersPage& numbers) {
  ReadNumsBClick(numbers, Sender(), debug_mode_);
}

void PanelSession::WriteNumbers(NumbersPage& numbers) {
  RequireOpenPort();
  WriteNumsBClick(numbers, Sender());
}

void PanelSession::ReadPresented(KeyList& keys) {
  ReadPresentedKey(keys, Sender());
}

PanelImage PanelSession::ReadImage(const HeardLookup& heard) {
  PanelImage image = ReadPanelImage(Sender(), heard);
  const std::string more = AfterLastAnswer();
  if (!more.empty())
    throw EPanelReadError(
        {{LogLabel(last_command_), "was followed by more than its answer", more}});
  return image;
}

std::string PanelSession::AfterLastAnswer() {
  constexpr uint32_t kSliceMs = 100;
  constexpr uint32_t kQuietCapMs = 1000;
  const uint32_t quiet = host_.EndsAnswersEarly() ? 2 * kSliceMs : kSliceMs;
  return ReadUntilQuiet(host_.Comm1(), quiet, kQuietCapMs);
}

void PanelSession::WriteImage(const PanelImage& image) {
  RequireOpenPort();
  WritePanelImage(Sender(), image);
}
