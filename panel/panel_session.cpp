#include "panel/panel_session.h"

#include <algorithm>

#include "panel/commands.h"
#include "panel/keys_page_ops.h"
#include "panel/numbers_page_ops.h"
#include "panel/panel_errors.h"
#include "panel/panel_image.h"
#include "panel/panel_port.h"
#include "panel/plain_pages.h"

namespace {

// The page as the read left it, onto the window's page: each box's change
// runs its handler there as a read's own would.
void CopyNumbers(const PlainNumbersPage& from, NumbersPage& to) {
  to.SetSpareBoxesVisible(from.spare_boxes_visible);
  to.SetEnabled(from.enabled);
  for (const PanelEvent& event : kPanelEvents) {
    to.SetDialTicked(event.number, from.DialTicked(event.number));
    to.SetDayTicked(event.number, from.DayTicked(event.number));
    to.SetNumberText(event.number, from.NumberText(event.number));
  }
}

PlainNumbersPage CopyOf(const NumbersPage& page) {
  PlainNumbersPage copy;
  for (const PanelEvent& event : kPanelEvents) {
    copy.SetDialTicked(event.number, page.DialTicked(event.number));
    copy.SetDayTicked(event.number, page.DayTicked(event.number));
    copy.SetNumberText(event.number, page.NumberText(event.number));
  }
  return copy;
}

void CopyKeys(const PlainKeyList& from, KeyList& to) {
  to.Clear();
  for (const PlainKeyList::Entry& entry : from.entries) to.Append(entry.name, entry.value);
}

}  // namespace

EPortNotOpen::EPortNotOpen(const std::string& port)
    : std::runtime_error("port " + port + " is not open: nothing was sent"), port_(port) {}

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
    if (!watch_.AnySent()) first_command_ = CommandName(command);
    watch_.Begin();
    SendCommand(watch_, command, attempts, budget, reply);
  };
}

DataReader PanelSession::CheckedReader() {
  return CheckedData(Sender(), &watch_);
}

void PanelSession::RequireQuietAfterRead() {
  const std::string more = AfterLastAnswer();
  if (more.empty()) return;
  throw EPanelReplyError(last_command_, ReplyProblem::kFollowed, ReplyShape::kKey, more);
}

bool PanelSession::Probe(const std::string& name) {
  ReopenForPanel(host_.Comm1(), name);
  return SendProbe();
}

bool PanelSession::SendProbe() {
  watch_.Restart();
  probe_followed_.clear();
  std::string reply;
  Sender()(std::string(kProbeCommand), kCommandAttempts, kProbeBudget, reply);
  // A probe answered twice is no panel that can be read.
  std::string more = reply.empty() ? std::string() : AfterLastAnswer();
  if (AnswersIn(reply) > 1) more = reply;
  if (HoldsAnswer(more)) {
    probe_followed_ = more;
    reply.clear();
  }
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
  watch_.Restart();
  // Read into copies first: a read cut short must not leave the keys of this
  // panel beside the numbers of the last one, nor blanks shown as read.
  numbers.SetSpareBoxesVisible(debug_mode_);  // what is shown, not what is read
  const DataReader read = CheckedReader();
  PlainKeyList keysRead;
  ReadKeys(keysRead, read);
  PlainNumbersPage numbersRead = CopyOf(numbers);
  ReadNumsBClick(numbersRead, read, debug_mode_);
  RequireQuietAfterRead();
  CopyKeys(keysRead, keys);
  CopyNumbers(numbersRead, numbers);
}

void PanelSession::ReadNumbers(NumbersPage& numbers) {
  watch_.Restart();
  numbers.SetSpareBoxesVisible(debug_mode_);  // what is shown, not what is read
  PlainNumbersPage numbersRead = CopyOf(numbers);
  ReadNumsBClick(numbersRead, CheckedReader(), debug_mode_);
  RequireQuietAfterRead();
  CopyNumbers(numbersRead, numbers);
}

PanelImage PanelSession::ReadImage() {
  watch_.Restart();
  PanelImage image = ReadPanelImage(Sender(), &watch_);
  const std::string more = AfterLastAnswer();
  if (!more.empty())
    throw EPanelReadError(
        {{CommandName(last_command_), ReplyProblem::kFollowed, ReplyShape::kNumber, more}});
  return image;
}

std::string PanelSession::AfterLastAnswer() {
  return watch_.End();
}

void PanelSession::WriteImage(const PanelImage& image, const PanelImage* before) {
  RequireOpenPort();
  watch_.Restart();
  std::vector<std::string> unconfirmed;
  std::vector<std::string> replies;
  std::string doubtFrom;
  try {
    WritePanelImage(Sender(), image, &watch_, before);
  } catch (const EPanelWriteError& error) {
    unconfirmed = error.Commands();
    replies = error.Replies();
    doubtFrom = error.DoubtFrom();
  }
  // The last write's "OK" may have been a copy of an earlier one, and its
  // own answer a refusal that comes after it.
  const std::string more = AfterLastAnswer();
  const std::string last = CommandName(last_command_);
  if (HoldsAnswer(more)) {
    if (std::find(unconfirmed.begin(), unconfirmed.end(), last) == unconfirmed.end()) {
      unconfirmed.push_back(last);
      replies.push_back(more);
    }
    if (doubtFrom.empty()) doubtFrom = first_command_;
  }
  if (!unconfirmed.empty()) throw EPanelWriteError(unconfirmed, replies, doubtFrom);
}
