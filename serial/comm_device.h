#pragma once
// The serial device as the operating system offers it, in the component's own
// terms. One backend file per platform implements it; tests use a fake.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "serial/open_failure.h"
#include "serial/serial_error.h"

// The device control block: the same fields, in the same order, as the
// system's 28-byte DCB, so the Windows backend hands it over unchanged.
struct Dcb {
  uint32_t DCBlength = 28;
  uint32_t BaudRate = 0;
  uint32_t Flags = 0;
  uint16_t wReserved = 0;
  uint16_t XonLim = 0;
  uint16_t XoffLim = 0;
  uint8_t ByteSize = 0;
  uint8_t Parity = 0;
  uint8_t StopBits = 0;
  char XonChar = 0;
  char XoffChar = 0;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
  uint16_t wReserved1 = 0;

  bool operator==(const Dcb&) const = default;
};

// Bits of Dcb::Flags.
enum DcbFlag : uint32_t {
  kDcbBinary = 0x1,
  kDcbParity = 0x2,
  kDcbOutxCtsFlow = 0x4,
  kDcbOutxDsrFlow = 0x8,
  kDcbDtrEnable = 0x10,
  kDcbDtrHandshake = 0x20,
  kDcbDsrSensitivity = 0x40,
  kDcbTxContinueOnXoff = 0x80,
  kDcbOutX = 0x100,
  kDcbInX = 0x200,
  kDcbErrorChar = 0x400,
  kDcbNull = 0x800,
  kDcbRtsEnable = 0x1000,
  kDcbRtsHandshake = 0x2000,
  kDcbAbortOnError = 0x4000,
};

struct CommTimeouts {
  uint32_t ReadIntervalTimeout = 0;
  uint32_t ReadTotalTimeoutMultiplier = 0;
  uint32_t ReadTotalTimeoutConstant = 0;
  uint32_t WriteTotalTimeoutMultiplier = 0;
  uint32_t WriteTotalTimeoutConstant = 0;

  bool operator==(const CommTimeouts&) const = default;
};

// The purge actions of PurgeComm, with the system's values.
enum PurgeAction : uint32_t {
  kPurgeTxAbort = 0x1,
  kPurgeRxAbort = 0x2,
  kPurgeTxClear = 0x4,
  kPurgeRxClear = 0x8,
  kPurgeAll = 0xF,
};

// What ClearCommError reports of the two driver queues.
struct CommQueueCounts {
  uint32_t cbInQue = 0;
  uint32_t cbOutQue = 0;
};

// What GetCommProperties reports of the current queue sizes.
struct CommQueueSizes {
  uint32_t dwCurrentRxQueue = 0;
  uint32_t dwCurrentTxQueue = 0;
};

// Outcome of waiting for the line.
enum class LineWait { kReady, kTimedOut, kBroken };

class CommDevice {
 public:
  virtual ~CommDevice() = default;

  virtual bool GetState(Dcb& dcb) = 0;
  virtual bool SetState(const Dcb& dcb) = 0;
  virtual bool SetupQueues(uint32_t inputSize, uint32_t outputSize) = 0;
  virtual bool Purge(uint32_t actions) = 0;
  virtual bool GetTimeouts(CommTimeouts& timeouts) = 0;
  virtual bool SetTimeouts(const CommTimeouts& timeouts) = 0;
  virtual bool GetQueueSizes(CommQueueSizes& sizes) = 0;
  // Clears the device's error state and reports the queue counts.
  virtual bool ClearErrors(CommQueueCounts& counts) = 0;

  // One write or read, completed before returning. A read only takes bytes
  // that are already queued; either may move fewer bytes than asked, or none.
  virtual bool Write(const uint8_t* data, uint32_t count, uint32_t& written) = 0;
  virtual bool Read(uint8_t* data, uint32_t count, uint32_t& read) = 0;

  // Sleep in the operating system until received bytes are queued (or, for
  // writing, the transmit queue has drained some), the line breaks, or
  // timeoutMs passes. They keep the transfer loops from burning CPU and never
  // move data; the loops look at the queues again after every wait.
  virtual LineWait WaitReadable(uint32_t timeoutMs) = 0;
  virtual LineWait WaitWritable(uint32_t timeoutMs) = 0;

  // Line events, as bits of the system's event mask (EV_RXCHAR = 0x1 ...).
  // The event thread sets the mask and waits for the next event word; a mask
  // of 0 or CancelEventWait, called from any thread, ends a pending wait,
  // which then returns false. False also when the line has gone.
  virtual bool SetEventMask(uint32_t mask) = 0;
  virtual bool WaitEvent(uint32_t& events) = 0;
  virtual void CancelEventWait() = 0;

  // The error of the last call that failed, with the system's text.
  virtual SystemError LastError() const = 0;
};

// Opens the named device exclusively, or returns null when it cannot be
// opened (missing, in use, not a serial device, no rights) and says why in
// failure, which is reset first.
std::unique_ptr<CommDevice> OpenCommDevice(const std::string& name, OpenFailure& failure);
inline std::unique_ptr<CommDevice> OpenCommDevice(const std::string& name) {
  OpenFailure ignored;
  return OpenCommDevice(name, ignored);
}

// What opening the named port would meet (kind kNone: nothing in the way),
// for the ports that ListSerialPorts gives. POSIX finds it without opening,
// since an open raises the modem lines of an idle port; Windows tells only by
// opening, and closes again at once.
OpenFailure CheckDeviceAccess(const std::string& name);

// The device path a port name stands for. Windows: "\\.\" and the name.
// POSIX: a name beginning with "/" is a path; otherwise the port map may name
// one (a COM name is looked up as "COMn"); otherwise a COM name
// (serial/com_name.h) is /dev/ttyS(n-1). Nothing when the name stands for no
// device.
std::optional<std::string> ResolveDevicePath(const std::string& name);

// Where the port map is looked up ("COM5" -> "/dev/ttyUSB0"); the settings
// store installs it. Without one, no name is mapped.
using PortMapLookup = std::function<std::optional<std::string>(const std::string& name)>;
void SetPortMapLookup(PortMapLookup lookup);
// The mapped device path of a port name, if the port map has one.
std::optional<std::string> LookUpPortMap(const std::string& name);

// The driver's largest queue size: the limit of Buffers.InputSize and
// Buffers.OutputSize.
uint32_t MaxQueueSize();

// The millisecond clock of the serial subsystem, kept in 32 bits: budgets are
// unsigned differences of two readings and survive the wrap.
uint32_t TickMs();
