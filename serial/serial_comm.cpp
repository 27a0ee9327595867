#include "serial/serial_comm.h"

#include <algorithm>
#include <cstdio>

namespace {

// "Cannot open device %s" with the name in place of the "%s".
std::string FormatCannotOpen(const std::string& name) {
  const std::string_view format = sCannotOpenDevice;
  const size_t at = format.find("%s");
  std::string message(format.substr(0, at));
  message += name;
  message += format.substr(at + 2);
  return message;
}

}  // namespace

TCustomComm::TCustomComm()
    : device_factory_([](const std::string& name, OpenFailure& failure) {
        return OpenCommDevice(name, failure);
      }) {}

void TCustomComm::SetDeviceFactory(DeviceFactory factory) {
  if (!factory) {
    device_factory_ = nullptr;
    return;
  }
  device_factory_ = [factory = std::move(factory)](const std::string& name, OpenFailure&) {
    return factory(name);
  };
}

TCustomComm::~TCustomComm() {
  destroying_ = true;
  if (Opened()) {
    StopEventThread();
    device_.reset();
  }
  // Each client takes itself out of the list when linked to no component; a
  // client that fails to do so is dropped here so that the loop always ends.
  while (!clients_.empty()) {
    TCommClient* first = clients_.front();
    first->LinkTo(nullptr);
    if (!clients_.empty() && clients_.front() == first) clients_.erase(clients_.begin());
  }
}

TCommLocks TCustomComm::LockState() const {
  if (!Opened()) return {lkSend, lkRead};
  TCommLocks locks = own_locks_;
  const TCommLocks both{lkSend, lkRead};
  for (const TCommClient* client : clients_) {
    if (locks == both) break;
    locks = locks | client->LockState();
  }
  return locks;
}

bool TCustomComm::OpenDevice() {
  if (Opened()) RaiseDeviceError(sDeviceAlreadyOpened, kErrAlreadyOpened);
  own_locks_ = {};
  hold_count_ = 0;
  last_open_failure_ = OpenFailure{};
  device_ = device_factory_ ? device_factory_(device_name_, last_open_failure_) : nullptr;
  if (device_) {
    last_open_failure_ = OpenFailure{};
  } else {
    // A factory that gives no reason still failed.
    if (last_open_failure_.kind == OpenFailureKind::kNone)
      last_open_failure_.kind = OpenFailureKind::kOther;
    if (last_open_failure_.device.empty()) last_open_failure_.device = device_name_;
    RaiseDeviceError(FormatCannotOpen(device_name_), kErrCannotOpen);
  }
  static std::atomic<uint64_t> openings{0};
  open_serial_ = ++openings;
  StartEventThread();
  ApplyLineSettings();
  ApplyBuffers();
  ApplyTimeouts();
  return true;
}

void TCustomComm::CloseDevice() {
  if (!Opened()) RaiseDeviceError(sDeviceNotOpened, kErrNotOpened);
  StopEventThread();
  device_.reset();
  hold_count_ = 0;
}

// The event thread starts waiting as soon as the device is open, before its
// settings are applied, and ends before the device is closed: it never sees a
// closed device.
void TCustomComm::StartEventThread() {
  EventThread = std::make_unique<TCommEventThread>(*this, *device_);
}

void TCustomComm::StopEventThread() {
  EventThread.reset();
}

void TCustomComm::AttachClient(TCommClient* client) {
  if (client && std::find(clients_.begin(), clients_.end(), client) == clients_.end())
    clients_.push_back(client);
}

void TCustomComm::DetachClient(TCommClient* client) {
  clients_.erase(std::remove(clients_.begin(), clients_.end(), client), clients_.end());
}

// --- Line settings --------------------------------------------------------

bool TCustomComm::QueryDeviceState(Dcb& dcb) {
  dcb = Dcb{};
  dcb.DCBlength = 28;
  return device_ && device_->GetState(dcb);
}

Dcb TCustomComm::BuildDcb() const {
  Dcb dcb;
  dcb.BaudRate = baud_value_;
  uint32_t flags = kDcbBinary;
  if (options_.Contains(coParityCheck)) flags |= kDcbParity;
  if (rts_settings_.Contains(fsCTSOut)) flags |= kDcbOutxCtsFlow;
  if (dtr_settings_.Contains(fsDSROut)) flags |= kDcbOutxDsrFlow;
  if (dtr_settings_.Contains(fsDTREnabled) || options_.Contains(coLeaveDTROpen))
    flags |= kDcbDtrEnable;
  if (dtr_settings_.Contains(fsDTRHandshake)) flags |= kDcbDtrHandshake;
  if (options_.Contains(coDSRSensitivity)) flags |= kDcbDsrSensitivity;
  if (options_.Contains(coTXContinueOnXOff)) flags |= kDcbTxContinueOnXoff;
  if (xonxoff_settings_.Contains(fsOutX)) flags |= kDcbOutX;
  if (xonxoff_settings_.Contains(fsInX)) flags |= kDcbInX;
  if (options_.Contains(coErrorChar)) flags |= kDcbErrorChar;
  if (options_.Contains(coDiscardNull)) flags |= kDcbNull;
  if (rts_settings_.Contains(fsRTSEnabled)) flags |= kDcbRtsEnable;
  if (rts_settings_.Contains(fsRTSHandshake)) flags |= kDcbRtsHandshake;
  if (options_.Contains(coAbortOnError)) flags |= kDcbAbortOnError;
  dcb.Flags = flags;
  dcb.XonLim = static_cast<uint16_t>(buffers_.stored_input_size / 4);
  dcb.XoffLim = dcb.XonLim;
  dcb.ByteSize = static_cast<uint8_t>(data_control_.stored_data_bits + 4);
  dcb.Parity = static_cast<uint8_t>(data_control_.stored_parity);
  dcb.StopBits = static_cast<uint8_t>(data_control_.stored_stop_bits);
  dcb.XonChar = event_chars_.stored_xon;
  dcb.XoffChar = event_chars_.stored_xoff;
  dcb.ErrorChar = event_chars_.stored_error;
  dcb.EofChar = event_chars_.stored_eof;
  dcb.EvtChar = event_chars_.stored_event;
  return dcb;
}

bool TCustomComm::ApplyLineSettings() {
  if (!Opened()) return false;
  if (!device_->SetState(BuildDcb())) RaiseDeviceError(sUnableToUpdateDcb, kErrUpdateDcb);
  return true;
}

bool TCustomComm::ApplyBuffers() {
  if (!Opened()) return false;
  device_->Purge(kPurgeTxAbort | kPurgeRxAbort | kPurgeTxClear | kPurgeRxClear);
  if (!device_->SetupQueues(buffers_.stored_input_size, buffers_.stored_output_size))
    RaiseDeviceError(sUnableToUpdateBuffers, kErrUpdateBuffers);
  return true;
}

bool TCustomComm::ApplyTimeouts() {
  if (!Opened()) return false;
  CommTimeouts t;
  t.ReadIntervalTimeout = timeouts_.stored_read_interval;
  t.ReadTotalTimeoutMultiplier = timeouts_.stored_read_multiplier;
  t.ReadTotalTimeoutConstant = timeouts_.stored_read_constant;
  t.WriteTotalTimeoutMultiplier = timeouts_.stored_write_multiplier;
  t.WriteTotalTimeoutConstant = timeouts_.stored_write_constant;
  if (!device_->SetTimeouts(t)) RaiseDeviceError(sUnableToUpdateTimeouts, kErrUpdateTimeouts);
  return true;
}

void TCustomComm::DecodeDeviceFlags(uint32_t flags) {
  TDTRSettings dtr;
  if (flags & kDcbDtrHandshake) dtr.Include(fsDTRHandshake);
  if (flags & kDcbDtrEnable) dtr.Include(fsDTREnabled);
  if (flags & kDcbOutxDsrFlow) dtr.Include(fsDSROut);
  TRTSSettings rts;
  if (flags & kDcbRtsHandshake) rts.Include(fsRTSHandshake);
  if (flags & kDcbRtsEnable) rts.Include(fsRTSEnabled);
  if (flags & kDcbOutxCtsFlow) rts.Include(fsCTSOut);
  TXOnXOffSettings xonxoff;
  if (flags & kDcbOutX) xonxoff.Include(fsOutX);
  if (flags & kDcbInX) xonxoff.Include(fsInX);
  // The device has no flag for "leave DTR open": it is kept from the stored set.
  TCommOptions options;
  if (options_.Contains(coLeaveDTROpen)) options.Include(coLeaveDTROpen);
  if (flags & kDcbParity) options.Include(coParityCheck);
  if (flags & kDcbDsrSensitivity) options.Include(coDSRSensitivity);
  if (flags & kDcbErrorChar) options.Include(coErrorChar);
  if (flags & kDcbNull) options.Include(coDiscardNull);
  if (flags & kDcbAbortOnError) options.Include(coAbortOnError);
  if (flags & kDcbTxContinueOnXoff) options.Include(coTXContinueOnXOff);
  dtr_settings_ = dtr;
  rts_settings_ = rts;
  xonxoff_settings_ = xonxoff;
  options_ = options;
}

void TCustomComm::ApplyFlowPreset() {
  switch (flow_control_) {
    case fcNone:
      rts_settings_ = {};
      dtr_settings_ = {};
      xonxoff_settings_ = {};
      break;
    case fcRtsCts:
      rts_settings_ = {fsCTSOut, fsRTSHandshake};
      dtr_settings_ = {fsDTREnabled};
      xonxoff_settings_ = {};
      break;
    case fcDtrDsr:
      rts_settings_ = {fsRTSEnabled};
      dtr_settings_ = {fsDSROut, fsDTREnabled};
      xonxoff_settings_ = {};
      break;
    case fcSoftware:
      rts_settings_ = {};
      dtr_settings_ = {fsDTREnabled};
      xonxoff_settings_ = {fsInX, fsOutX};
      break;
    case fcCustom:
      rts_settings_ = {};
      dtr_settings_ = {fsDTREnabled};
      xonxoff_settings_ = {};
      break;
  }
  if (options_.Contains(coLeaveDTROpen))
    dtr_settings_.Exclude(fsDTRHandshake).Include(fsDTREnabled);
}

// --- Published properties -------------------------------------------------

uint32_t TCustomComm::BaudValue() {
  Dcb dcb;
  if (Opened() && QueryDeviceState(dcb)) baud_value_ = dcb.BaudRate;
  return baud_value_;
}

void TCustomComm::SetBaudValue(uint32_t value) {
  if (baud_rate_ != brCustom || value == baud_value_) return;
  baud_value_ = value;
  ApplyLineSettings();
}

TBaudRate TCustomComm::BaudRate() {
  if (baud_rate_ == brCustom || !Opened()) return baud_rate_;
  Dcb dcb;
  if (!QueryDeviceState(dcb)) return baud_rate_;
  baud_rate_ = brCustom;
  const uint32_t value = BaudValue();
  for (int i = 0; i < static_cast<int>(std::size(BaudRateTable)); ++i) {
    if (BaudRateTable[i] == value) {
      baud_rate_ = static_cast<TBaudRate>(i);
      break;
    }
  }
  return baud_rate_;
}

void TCustomComm::SetBaudRate(TBaudRate value) {
  if (value == baud_rate_ || value < br110 || value > brCustom) return;
  baud_rate_ = value;
  if (value == brCustom) return;
  baud_value_ = BaudRateTable[value];
  ApplyLineSettings();
}

void TCustomComm::SetDeviceName(const std::string& value) {
  if (Opened() || value == device_name_) return;
  device_name_ = value;
}

TRTSSettings TCustomComm::RTSSettings() {
  Dcb dcb;
  if (Opened() && QueryDeviceState(dcb)) DecodeDeviceFlags(dcb.Flags);
  return rts_settings_;
}

TDTRSettings TCustomComm::DTRSettings() {
  Dcb dcb;
  if (Opened() && QueryDeviceState(dcb)) DecodeDeviceFlags(dcb.Flags);
  return dtr_settings_;
}

TXOnXOffSettings TCustomComm::XOnXOffSettings() {
  Dcb dcb;
  if (Opened() && QueryDeviceState(dcb)) DecodeDeviceFlags(dcb.Flags);
  return xonxoff_settings_;
}

TCommOptions TCustomComm::Options() {
  Dcb dcb;
  if (Opened() && QueryDeviceState(dcb)) DecodeDeviceFlags(dcb.Flags);
  return options_;
}

void TCustomComm::SetRTSSettings(TRTSSettings value) {
  if (flow_control_ != fcCustom || value == RTSSettings()) return;
  rts_settings_ = value;
  ApplyLineSettings();
}

void TCustomComm::SetXOnXOffSettings(TXOnXOffSettings value) {
  if (flow_control_ != fcCustom || value == XOnXOffSettings()) return;
  xonxoff_settings_ = value;
  ApplyLineSettings();
}

void TCustomComm::SetDTRSettings(TDTRSettings value) {
  if (options_.Contains(coLeaveDTROpen)) value.Exclude(fsDTRHandshake).Include(fsDTREnabled);
  // Enable and handshake exclude each other: the one just asked for wins.
  if (value.Contains(fsDTREnabled) && value.Contains(fsDTRHandshake)) {
    if (dtr_settings_.Contains(fsDTRHandshake))
      value.Exclude(fsDTRHandshake);
    else
      value.Exclude(fsDTREnabled);
  }
  if (flow_control_ != fcCustom || value == DTRSettings()) return;
  dtr_settings_ = value;
  ApplyLineSettings();
}

void TCustomComm::SetFlowControl(TFlowControl value) {
  if (value == flow_control_ || value < fcNone || value > fcCustom) return;
  flow_control_ = value;
  if (value == fcCustom) return;
  ApplyFlowPreset();
  ApplyLineSettings();
}

void TCustomComm::SetOptions(TCommOptions value) {
  if (Opened()) {
    if (options_.Contains(coLeaveDTROpen))
      value.Include(coLeaveDTROpen);
    else
      value.Exclude(coLeaveDTROpen);
  }
  if (value == Options()) return;
  options_ = value;
  if (Opened())
    ApplyLineSettings();
  else
    ApplyFlowPreset();
}
