#include "serial/comm_settings.h"

#include <algorithm>

#include "serial/serial_comm.h"

namespace {

// The device state of the owner, when it is open and answers.
bool ReadDcb(const TCustomComm* comm, Dcb& dcb) {
  dcb = Dcb{};
  return comm && comm->Device() && comm->Device()->GetState(dcb);
}

}  // namespace

void TCommSettings::Assign(const TCommSettings& source) {
  if (&source == this) return;
  if (std::string(source.ClassName()) != ClassName())
    throw EAssignError(std::string("Cannot assign a ") + source.ClassName() + " to a " +
                       ClassName());
  CopyFrom(source);
}

// --- TCommDataControl -----------------------------------------------------

TDataBits TCommDataControl::DataBits() const {
  Dcb dcb;
  if (ReadDcb(Comm, dcb) && dcb.ByteSize >= 4 && dcb.ByteSize <= 8)
    return static_cast<TDataBits>(dcb.ByteSize - 4);
  return stored_data_bits;
}

TParity TCommDataControl::Parity() const {
  Dcb dcb;
  if (ReadDcb(Comm, dcb) && dcb.Parity <= paSpace) return static_cast<TParity>(dcb.Parity);
  return stored_parity;
}

TStopBits TCommDataControl::StopBits() const {
  Dcb dcb;
  if (ReadDcb(Comm, dcb) && dcb.StopBits <= sb2) return static_cast<TStopBits>(dcb.StopBits);
  return stored_stop_bits;
}

void TCommDataControl::SetDataBits(TDataBits value) {
  if (value == stored_data_bits) return;
  stored_data_bits = value;
  if (Comm) Comm->ApplyLineSettings();
}

void TCommDataControl::SetParity(TParity value) {
  if (value == stored_parity) return;
  stored_parity = value;
  if (Comm) Comm->ApplyLineSettings();
}

void TCommDataControl::SetStopBits(TStopBits value) {
  if (value == stored_stop_bits) return;
  stored_stop_bits = value;
  if (Comm) Comm->ApplyLineSettings();
}

void TCommDataControl::CopyFrom(const TCommSettings& source) {
  const auto& from = static_cast<const TCommDataControl&>(source);
  stored_data_bits = from.DataBits();
  stored_parity = from.Parity();
  stored_stop_bits = from.StopBits();
  if (Comm) Comm->ApplyLineSettings();
}

// --- TCommBuffers ---------------------------------------------------------

uint16_t TCommBuffers::InputSize() const {
  CommQueueSizes sizes;
  if (Comm && Comm->Device() && Comm->Device()->GetQueueSizes(sizes)) {
    const auto value = static_cast<uint16_t>(sizes.dwCurrentRxQueue);
    if (value != 0) return value;
  }
  return stored_input_size;
}

uint16_t TCommBuffers::OutputSize() const {
  CommQueueSizes sizes;
  if (Comm && Comm->Device() && Comm->Device()->GetQueueSizes(sizes)) {
    const auto value = static_cast<uint16_t>(sizes.dwCurrentTxQueue);
    if (value != 0) return value;
  }
  return stored_output_size;
}

void TCommBuffers::SetSize(uint16_t& stored, uint32_t value) {
  value = std::max<uint32_t>(std::min(value, MaxQueueSize()), 128);
  if (value == stored) return;
  stored = static_cast<uint16_t>(value);
  if (Comm) Comm->ApplyBuffers();
}

void TCommBuffers::SetInputSize(uint32_t value) {
  SetSize(stored_input_size, value);
}
void TCommBuffers::SetOutputSize(uint32_t value) {
  SetSize(stored_output_size, value);
}

void TCommBuffers::CopyFrom(const TCommSettings& source) {
  // A copied object brings its sizes as read, without the size limits.
  const auto& from = static_cast<const TCommBuffers&>(source);
  stored_input_size = from.InputSize();
  stored_output_size = from.OutputSize();
  stored_input_timeout = from.InputTimeout();
  stored_output_timeout = from.OutputTimeout();
  if (Comm) Comm->ApplyBuffers();
}

// --- TCommEventChars ------------------------------------------------------

char TCommEventChars::XonChar() const {
  Dcb dcb;
  return ReadDcb(Comm, dcb) ? dcb.XonChar : stored_xon;
}
char TCommEventChars::XoffChar() const {
  Dcb dcb;
  return ReadDcb(Comm, dcb) ? dcb.XoffChar : stored_xoff;
}
char TCommEventChars::EofChar() const {
  Dcb dcb;
  return ReadDcb(Comm, dcb) ? dcb.EofChar : stored_eof;
}
char TCommEventChars::ErrorChar() const {
  Dcb dcb;
  return ReadDcb(Comm, dcb) ? dcb.ErrorChar : stored_error;
}
char TCommEventChars::EventChar() const {
  Dcb dcb;
  return ReadDcb(Comm, dcb) ? dcb.EvtChar : stored_event;
}

void TCommEventChars::SetChar(char& stored, char value) {
  if (value == stored) return;
  stored = value;
  if (Comm) Comm->ApplyLineSettings();
}

void TCommEventChars::CopyFrom(const TCommSettings& source) {
  const auto& from = static_cast<const TCommEventChars&>(source);
  stored_xon = from.XonChar();
  stored_xoff = from.XoffChar();
  stored_eof = from.EofChar();
  stored_error = from.ErrorChar();
  stored_event = from.EventChar();
  if (Comm) Comm->ApplyLineSettings();
}

// --- TCommTimeoutsEx ------------------------------------------------------

namespace {

bool ReadTimeouts(const TCustomComm* comm, CommTimeouts& t) {
  return comm && comm->Device() && comm->Device()->GetTimeouts(t);
}

}  // namespace

uint32_t TCommTimeoutsEx::ReadInterval() const {
  CommTimeouts t;
  return ReadTimeouts(Comm, t) ? t.ReadIntervalTimeout : stored_read_interval;
}
uint32_t TCommTimeoutsEx::ReadMultiplier() const {
  CommTimeouts t;
  return ReadTimeouts(Comm, t) ? t.ReadTotalTimeoutMultiplier : stored_read_multiplier;
}
uint32_t TCommTimeoutsEx::ReadConstant() const {
  CommTimeouts t;
  return ReadTimeouts(Comm, t) ? t.ReadTotalTimeoutConstant : stored_read_constant;
}
uint32_t TCommTimeoutsEx::WriteMultiplier() const {
  CommTimeouts t;
  return ReadTimeouts(Comm, t) ? t.WriteTotalTimeoutMultiplier : stored_write_multiplier;
}
uint32_t TCommTimeoutsEx::WriteConstant() const {
  CommTimeouts t;
  return ReadTimeouts(Comm, t) ? t.WriteTotalTimeoutConstant : stored_write_constant;
}

void TCommTimeoutsEx::SetValue(uint32_t& stored, uint32_t value) {
  if (value == stored) return;
  stored = value;
  if (Comm) Comm->ApplyTimeouts();
}

void TCommTimeoutsEx::CopyFrom(const TCommSettings& source) {
  const auto& from = static_cast<const TCommTimeoutsEx&>(source);
  stored_read_interval = from.ReadInterval();
  stored_read_multiplier = from.ReadMultiplier();
  stored_read_constant = from.ReadConstant();
  stored_write_multiplier = from.WriteMultiplier();
  stored_write_constant = from.WriteConstant();
  if (Comm) Comm->ApplyTimeouts();
}
