#include "panel/panel_session.h"

#include <algorithm>

#include "panel/keys_page_ops.h"
#include "panel/numbers_page_ops.h"
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

EImagesDiffer::EImagesDiffer(std::vector<std::string> fields)
    : std::runtime_error("two reads of the panel differ"), fields_(std::move(fields)) {}

PanelSession::PanelSession(ExchangeHost& host, bool debugMode)
    : host_(host), debug_mode_(debugMode) {}

bool PanelSession::Probe(const std::string& name) {
  ReopenForPanel(host_.Comm1(), name);
  return SendProbe();
}

bool PanelSession::SendProbe() {
  runner_.Drop();
  probe_story_ = {};
  bool answered = false;
  try {
    answered = runner_.Send(ProbeStep()).Taken();
  } catch (const EOperationFailed& failed) {
    probe_story_ = failed.Story();
    runner_.Drop();
    host_.SetConnected(false);
    throw;
  }
  probe_story_ = runner_.Story();
  if (answered)
    runner_.LeaveOpen();
  else
    runner_.Drop();
  host_.SetConnected(answered);
  return answered;
}

bool PanelSession::EndProbe() {
  if (!runner_.Open()) return probe_story_.Ok();
  runner_.Begin();
  try {
    probe_story_ = runner_.Finish();
  } catch (const EOperationFailed& failed) {
    probe_story_ = failed.Story();
    runner_.Drop();
    throw;
  }
  // A probe answered twice is no panel that can be read.
  host_.SetConnected(probe_story_.Ok());
  return probe_story_.Ok();
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

Outcome PanelSession::FinishOrRaise() {
  Outcome story = runner_.Finish();
  if (!story.Ok()) throw EOperationFailed(std::move(story));
  return story;
}

void PanelSession::ReadAll(KeyList& keys, NumbersPage& numbers) {
  runner_.Begin();
  // Read into copies first: a read cut short must not leave the keys of this
  // panel beside the numbers of the last one, nor blanks shown as read.
  numbers.SetSpareBoxesVisible(debug_mode_);  // what is shown, not what is read
  const DataReader read = StepReader(runner_);
  PlainKeyList keysRead;
  ReadKeys(keysRead, read);
  PlainNumbersPage numbersRead = CopyOf(numbers);
  ReadNumsBClick(numbersRead, read, debug_mode_);
  FinishOrRaise();
  CopyKeys(keysRead, keys);
  CopyNumbers(numbersRead, numbers);
}

void PanelSession::ReadNumbers(NumbersPage& numbers) {
  runner_.Begin();
  numbers.SetSpareBoxesVisible(debug_mode_);  // what is shown, not what is read
  PlainNumbersPage numbersRead = CopyOf(numbers);
  ReadNumsBClick(numbersRead, StepReader(runner_), debug_mode_);
  FinishOrRaise();
  CopyNumbers(numbersRead, numbers);
}

PanelImage PanelSession::ReadImage(ReadOrder order) {
  runner_.Begin();
  const PanelImage image = SendImageReads(runner_, Phase::kRead, order);
  FinishOrRaise();
  return image;
}

PanelImage PanelSession::ReadImageTwice() {
  const PanelImage first = ReadImage(ReadOrder::kFirst);
  const PanelImage second = ReadImage(ReadOrder::kSecond);
  const std::vector<std::string> fields = ImageDifferences(first, second);
  if (!fields.empty()) throw EImagesDiffer(fields);
  return first;
}
