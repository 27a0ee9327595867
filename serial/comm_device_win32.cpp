// The serial device over the Win32 comm calls, on a handle opened for
// overlapped transfers. A mirror image of comm_device_posix.cpp: the same
// operations in the same order, in Windows terms. Why an open failed is told
// in open_diagnosis_win32.cpp, the clock kept in comm_clock_win32.cpp.

#ifndef NOMINMAX
#define NOMINMAX  // std::min, not the macro
#endif
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "serial/comm_device.h"
#include "serial/open_diagnosis.h"

namespace {

static_assert(sizeof(DCB) == 28, "the system's device control block is 28 bytes");
static_assert(sizeof(OSVERSIONINFOA) == 148, "GetVersionExA wants the 148-byte record");

// Why the transfers poll the queue counts instead of waiting on the driver's
// event. Windows has one wait for "bytes queued" that leaves them in the
// queue, WaitCommEvent, and a handle has one comm mask and one pending
// WaitCommEvent: both belong to the event thread, which moreover stands still
// while it hands a word to a busy user-interface thread, so a transfer cannot
// borrow them. A read into a queue of our own would need read timeouts other
// than the component's, which the component sets and reads back. So a wait
// looks at the queue counts and sleeps in the system between looks: at this
// step it wakes at most 200 times a second (about 64 under the default
// 15.6 ms timer) and sees a reply at most one step late. Under Wine, where
// every look is a round trip to wineserver, bench/serial_wait_bench_win32
// (100 reads of 100 ms on a silent COM port, 100 on an echoing one, COM port
// on a pseudo-terminal) measured 0.16 s of CPU in the program and 0.10 s in
// wineserver over 20.3 s wall: 0.013 CPU per wall second together, within
// the goal of 0.02 (the POSIX backend's poll() wait: 0.002,
// bench/serial_read_bench). On a real driver a look is one ioctl inside the
// kernel, cheaper than Wine's round trip (not measured on Windows here).
constexpr uint32_t kPollStepMs = 5;

// What the comm calls answer on a handle whose device has gone: a USB adapter
// pulled out, a driver that stopped the device, a handle the system closed.
bool MeansDeviceGone(DWORD number) {
  switch (number) {
    case ERROR_ACCESS_DENIED:
    case ERROR_INVALID_HANDLE:
    case ERROR_NOT_READY:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_OPERATION_ABORTED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
      return true;
    default:
      return false;
  }
}

// The system's DCB keeps the flags word as bitfields; filling them one by one
// does not depend on how the compiler lays bitfields out.
DCB ToSystemDcb(const Dcb& dcb) {
  DCB system;
  std::memset(&system, 0, sizeof system);
  system.DCBlength = sizeof system;
  system.BaudRate = dcb.BaudRate;
  const uint32_t flags = dcb.Flags;
  system.fBinary = (flags & kDcbBinary) != 0;
  system.fParity = (flags & kDcbParity) != 0;
  system.fOutxCtsFlow = (flags & kDcbOutxCtsFlow) != 0;
  system.fOutxDsrFlow = (flags & kDcbOutxDsrFlow) != 0;
  system.fDtrControl = (flags >> 4) & 0x3;  // kDcbDtrEnable, kDcbDtrHandshake
  system.fDsrSensitivity = (flags & kDcbDsrSensitivity) != 0;
  system.fTXContinueOnXoff = (flags & kDcbTxContinueOnXoff) != 0;
  system.fOutX = (flags & kDcbOutX) != 0;
  system.fInX = (flags & kDcbInX) != 0;
  system.fErrorChar = (flags & kDcbErrorChar) != 0;
  system.fNull = (flags & kDcbNull) != 0;
  system.fRtsControl = (flags >> 12) & 0x3;  // kDcbRtsEnable, kDcbRtsHandshake
  system.fAbortOnError = (flags & kDcbAbortOnError) != 0;
  system.fDummy2 = (flags >> 15) & 0x1FFFF;
  system.wReserved = dcb.wReserved;
  system.XonLim = dcb.XonLim;
  system.XoffLim = dcb.XoffLim;
  system.ByteSize = dcb.ByteSize;
  system.Parity = dcb.Parity;
  system.StopBits = dcb.StopBits;
  system.XonChar = dcb.XonChar;
  system.XoffChar = dcb.XoffChar;
  system.ErrorChar = dcb.ErrorChar;
  system.EofChar = dcb.EofChar;
  system.EvtChar = dcb.EvtChar;
  system.wReserved1 = dcb.wReserved1;
  return system;
}

Dcb FromSystemDcb(const DCB& system) {
  Dcb dcb;
  dcb.DCBlength = system.DCBlength;
  dcb.BaudRate = system.BaudRate;
  uint32_t flags = 0;
  if (system.fBinary) flags |= kDcbBinary;
  if (system.fParity) flags |= kDcbParity;
  if (system.fOutxCtsFlow) flags |= kDcbOutxCtsFlow;
  if (system.fOutxDsrFlow) flags |= kDcbOutxDsrFlow;
  flags |= static_cast<uint32_t>(system.fDtrControl) << 4;
  if (system.fDsrSensitivity) flags |= kDcbDsrSensitivity;
  if (system.fTXContinueOnXoff) flags |= kDcbTxContinueOnXoff;
  if (system.fOutX) flags |= kDcbOutX;
  if (system.fInX) flags |= kDcbInX;
  if (system.fErrorChar) flags |= kDcbErrorChar;
  if (system.fNull) flags |= kDcbNull;
  flags |= static_cast<uint32_t>(system.fRtsControl) << 12;
  if (system.fAbortOnError) flags |= kDcbAbortOnError;
  flags |= static_cast<uint32_t>(system.fDummy2) << 15;
  dcb.Flags = flags;
  dcb.wReserved = system.wReserved;
  dcb.XonLim = system.XonLim;
  dcb.XoffLim = system.XoffLim;
  dcb.ByteSize = system.ByteSize;
  dcb.Parity = system.Parity;
  dcb.StopBits = system.StopBits;
  dcb.XonChar = system.XonChar;
  dcb.XoffChar = system.XoffChar;
  dcb.ErrorChar = system.ErrorChar;
  dcb.EofChar = system.EofChar;
  dcb.EvtChar = system.EvtChar;
  dcb.wReserved1 = system.wReserved1;
  return dcb;
}

class Win32CommDevice final : public CommDevice {
 public:
  explicit Win32CommDevice(HANDLE handle)
      : handle_(handle), stop_event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~Win32CommDevice() override {
    CloseHandle();
    if (stop_event_) ::CloseHandle(stop_event_);
  }
  Win32CommDevice(const Win32CommDevice&) = delete;
  Win32CommDevice& operator=(const Win32CommDevice&) = delete;

  bool GetState(Dcb& dcb) override;
  bool SetState(const Dcb& dcb) override;
  bool SetupQueues(uint32_t inputSize, uint32_t outputSize) override;
  bool Purge(uint32_t actions) override;
  bool GetTimeouts(CommTimeouts& timeouts) override;
  bool SetTimeouts(const CommTimeouts& timeouts) override;
  bool GetQueueSizes(CommQueueSizes& sizes) override;
  bool ClearErrors(CommQueueCounts& counts) override;
  bool Write(const uint8_t* data, uint32_t count, uint32_t& written) override;
  bool Read(uint8_t* data, uint32_t count, uint32_t& read) override;
  LineWait WaitReadable(uint32_t timeoutMs) override { return WaitForQueues(timeoutMs, true); }
  LineWait WaitWritable(uint32_t timeoutMs) override { return WaitForQueues(timeoutMs, false); }
  bool SetEventMask(uint32_t mask) override;
  bool WaitEvent(uint32_t& events) override;
  void CancelEventWait() override { SetEvent(stop_event_); }
  bool StopEventReady() const { return stop_event_ != nullptr; }
  SystemError LastError() const override {
    std::lock_guard<std::mutex> lock(error_mutex_);
    return error_;
  }

 private:
  // Keeps the error with its text at the failing call. The event thread may
  // fail on the same device while the user-interface thread does.
  bool Fail(DWORD number) {
    SystemError error = SystemErrorOf(static_cast<int>(number));
    std::lock_guard<std::mutex> lock(error_mutex_);
    error_ = std::move(error);
    return false;
  }
  void CloseHandle();
  bool QueryStatus(COMSTAT& status);
  template <typename Start>
  bool Transfer(Start start, uint32_t& moved);
  bool Complete(DWORD startError, OVERLAPPED& overlapped, uint32_t& moved);
  LineWait WaitForQueues(uint32_t timeoutMs, bool forInput);

  HANDLE handle_;
  HANDLE stop_event_;  // ends a pending event wait; manual reset, never reset
  // The error with which the status query last found the device gone, or
  // ERROR_SUCCESS; a read that moves nothing then reports it.
  std::atomic<DWORD> gone_{ERROR_SUCCESS};
  mutable std::mutex error_mutex_;
  SystemError error_;
};

void Win32CommDevice::CloseHandle() {
  if (handle_ == INVALID_HANDLE_VALUE) return;
  ::CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

bool Win32CommDevice::GetState(Dcb& dcb) {
  DCB system;
  std::memset(&system, 0, sizeof system);
  system.DCBlength = sizeof system;
  if (!GetCommState(handle_, &system)) return Fail(GetLastError());
  dcb = FromSystemDcb(system);
  return true;
}

bool Win32CommDevice::SetState(const Dcb& dcb) {
  DCB system = ToSystemDcb(dcb);
  if (!SetCommState(handle_, &system)) return Fail(GetLastError());
  return true;
}

bool Win32CommDevice::SetupQueues(uint32_t inputSize, uint32_t outputSize) {
  if (!SetupComm(handle_, inputSize, outputSize)) return Fail(GetLastError());
  return true;
}

bool Win32CommDevice::Purge(uint32_t actions) {
  if (!PurgeComm(handle_, actions)) return Fail(GetLastError());
  return true;
}

bool Win32CommDevice::GetTimeouts(CommTimeouts& timeouts) {
  COMMTIMEOUTS system{};
  if (!GetCommTimeouts(handle_, &system)) return Fail(GetLastError());
  timeouts.ReadIntervalTimeout = system.ReadIntervalTimeout;
  timeouts.ReadTotalTimeoutMultiplier = system.ReadTotalTimeoutMultiplier;
  timeouts.ReadTotalTimeoutConstant = system.ReadTotalTimeoutConstant;
  timeouts.WriteTotalTimeoutMultiplier = system.WriteTotalTimeoutMultiplier;
  timeouts.WriteTotalTimeoutConstant = system.WriteTotalTimeoutConstant;
  return true;
}

bool Win32CommDevice::SetTimeouts(const CommTimeouts& timeouts) {
  COMMTIMEOUTS system{};
  system.ReadIntervalTimeout = timeouts.ReadIntervalTimeout;
  system.ReadTotalTimeoutMultiplier = timeouts.ReadTotalTimeoutMultiplier;
  system.ReadTotalTimeoutConstant = timeouts.ReadTotalTimeoutConstant;
  system.WriteTotalTimeoutMultiplier = timeouts.WriteTotalTimeoutMultiplier;
  system.WriteTotalTimeoutConstant = timeouts.WriteTotalTimeoutConstant;
  if (!SetCommTimeouts(handle_, &system)) return Fail(GetLastError());
  return true;
}

bool Win32CommDevice::GetQueueSizes(CommQueueSizes& sizes) {
  COMMPROP properties{};
  if (!GetCommProperties(handle_, &properties)) return Fail(GetLastError());
  sizes.dwCurrentRxQueue = properties.dwCurrentRxQueue;
  sizes.dwCurrentTxQueue = properties.dwCurrentTxQueue;
  return true;
}

// ClearCommError, which also clears the device's error state; the error flags
// themselves are of no use to the component.
bool Win32CommDevice::QueryStatus(COMSTAT& status) {
  DWORD errors = 0;
  status = COMSTAT{};
  if (!ClearCommError(handle_, &errors, &status)) return false;
  gone_ = ERROR_SUCCESS;
  return true;
}

bool Win32CommDevice::ClearErrors(CommQueueCounts& counts) {
  COMSTAT status;
  if (!QueryStatus(status)) return Fail(GetLastError());
  counts.cbInQue = status.cbInQue;
  counts.cbOutQue = status.cbOutQue;
  return true;
}

bool Win32CommDevice::Write(const uint8_t* data, uint32_t count, uint32_t& written) {
  const auto start = [&](OVERLAPPED& overlapped) {
    return WriteFile(handle_, data, count, nullptr, &overlapped);
  };
  return Transfer(start, written);
}

bool Win32CommDevice::Read(uint8_t* data, uint32_t count, uint32_t& read) {
  const auto start = [&](OVERLAPPED& overlapped) {
    return ReadFile(handle_, data, count, nullptr, &overlapped);
  };
  if (!Transfer(start, read)) return false;
  // A device that the last wait found gone may still answer a read that asks
  // for nothing; the read reports the loss instead of waiting out its budget.
  const DWORD gone = gone_;
  if (read == 0 && gone != ERROR_SUCCESS) return Fail(gone);
  return true;
}

// One system write or read, waited for to its end, with a completion record
// and an event of its own, closed on every way out.
template <typename Start>
bool Win32CommDevice::Transfer(Start start, uint32_t& moved) {
  moved = 0;
  OVERLAPPED overlapped;
  std::memset(&overlapped, 0, sizeof overlapped);
  overlapped.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  if (overlapped.hEvent == nullptr) return Fail(GetLastError());
  const bool ok = Complete(start(overlapped) ? ERROR_SUCCESS : GetLastError(), overlapped, moved);
  ::CloseHandle(overlapped.hEvent);
  return ok;
}

// A call that fails before the transfer starts is caught from its own result:
// the event starts signalled and the record untouched, so a wait on them would
// read as success with no bytes. A transfer that the device's timeouts ended
// is no failure: Wine reports it as ERROR_TIMEOUT (at once or on completion)
// where Windows completes with fewer bytes, and the count it gives is what
// moved.
bool Win32CommDevice::Complete(DWORD startError, OVERLAPPED& overlapped, uint32_t& moved) {
  if (startError != ERROR_SUCCESS && startError != ERROR_IO_PENDING &&
      startError != ERROR_TIMEOUT) {
    return Fail(startError);
  }
  DWORD count = 0;
  if (startError == ERROR_IO_PENDING &&
      WaitForSingleObject(overlapped.hEvent, INFINITE) != WAIT_OBJECT_0) {
    // The record and the buffer must outlive the transfer: stop it and wait
    // for its end before either goes away.
    Fail(GetLastError());
    CancelIo(handle_);
    GetOverlappedResult(handle_, &overlapped, &count, TRUE);
    return false;
  }
  if (!GetOverlappedResult(handle_, &overlapped, &count, FALSE)) {
    const DWORD error = GetLastError();
    if (error != ERROR_TIMEOUT) return Fail(error);
  }
  moved = count;
  return true;
}

// Looks at the queue counts every kPollStepMs until the line is ready or
// timeoutMs has passed. Input is ready when bytes are queued. Output is ready
// when the transmit count has fallen since the call began; when it was 0 the
// stall is in flow control, which no count shows, so the caller is sent back
// to try again after one step rather than sleeping out its whole slice.
LineWait Win32CommDevice::WaitForQueues(uint32_t timeoutMs, bool forInput) {
  const uint32_t start = TickMs();
  bool firstLook = true;
  DWORD outQueueAtStart = 0;
  for (;;) {
    COMSTAT status;
    if (QueryStatus(status)) {
      if (forInput) {
        if (status.cbInQue > 0) return LineWait::kReady;
      } else if (firstLook) {
        outQueueAtStart = status.cbOutQue;
      } else if (outQueueAtStart == 0 || status.cbOutQue < outQueueAtStart) {
        return LineWait::kReady;
      }
    } else {
      const DWORD error = GetLastError();
      if (MeansDeviceGone(error)) {
        Fail(error);
        gone_ = error;
        return LineWait::kBroken;
      }
      // Any other refusal reads as empty queues, as the transfers read it;
      // the wait still sleeps, so a failing call cannot make the loops spin.
    }
    firstLook = false;
    const uint32_t elapsed = TickMs() - start;
    if (elapsed >= timeoutMs) return LineWait::kTimedOut;
    Sleep(std::min(timeoutMs - elapsed, kPollStepMs));
  }
}

bool Win32CommDevice::SetEventMask(uint32_t mask) {
  if (!SetCommMask(handle_, mask)) return Fail(GetLastError());
  return true;
}

// One WaitCommEvent, waited for together with the stop event; the stop event
// wins when both are signalled, being first.
bool Win32CommDevice::WaitEvent(uint32_t& events) {
  events = 0;
  OVERLAPPED overlapped;
  std::memset(&overlapped, 0, sizeof overlapped);
  overlapped.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  if (!overlapped.hEvent) return Fail(GetLastError());
  DWORD word = 0;
  bool ok = false;
  if (WaitCommEvent(handle_, &word, &overlapped) || GetLastError() == ERROR_IO_PENDING) {
    HANDLE handles[2] = {stop_event_, overlapped.hEvent};
    if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
      // The event is signalled, so waiting costs nothing on Windows. Under
      // Wine the call must wait: its worker can finish the wait and signal
      // the event before the issuing call writes "pending" into the record,
      // which then stays there; a look without waiting would answer
      // ERROR_IO_INCOMPLETE and end the event thread for good.
      DWORD ignored = 0;
      ok = GetOverlappedResult(handle_, &overlapped, &ignored, TRUE) != 0;
      if (!ok) Fail(GetLastError());
    } else {
      // A mask of 0 ends the pending wait; the record and the word must
      // outlive it. A device that has gone may refuse the mask and leave the
      // wait pending: then it is cancelled, so the close cannot hang here.
      if (!SetCommMask(handle_, 0)) CancelIoEx(handle_, &overlapped);
      DWORD ignored = 0;
      GetOverlappedResult(handle_, &overlapped, &ignored, TRUE);
    }
  } else {
    // A wait that fails at once ends the thread's loop.
    Fail(GetLastError());
  }
  ::CloseHandle(overlapped.hEvent);
  if (ok) events = word;
  return ok;
}

}  // namespace

std::unique_ptr<CommDevice> OpenCommDevice(const std::string& name, OpenFailure& failure) {
  if (!PrepareOpen(name, failure)) return nullptr;
  const HANDLE handle =
      CreateFileA(failure.device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    RefuseOpen(failure, static_cast<int>(GetLastError()));
    return nullptr;
  }
  // The device namespace also holds disks, pipes and the null device: only a
  // device that answers the comm calls is a port.
  DCB state;
  std::memset(&state, 0, sizeof state);
  state.DCBlength = sizeof state;
  if (!GetCommState(handle, &state)) {
    RefuseOpen(failure, OpenFailureKind::kNotSerialPort, static_cast<int>(GetLastError()));
    CloseHandle(handle);
    return nullptr;
  }
  auto device = std::make_unique<Win32CommDevice>(handle);
  if (!device->StopEventReady()) {
    RefuseOpen(failure, static_cast<int>(GetLastError()));
    return nullptr;
  }
  return device;
}

uint32_t MaxQueueSize() {
  OSVERSIONINFOA version;
  std::memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
#ifdef _MSC_VER
#pragma warning(suppress : 4996)  // deprecated, but the version is what the limit depends on
#endif
  const bool known = GetVersionExA(&version);
  if (known && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
      version.dwMajorVersion * 65536 + version.dwMinorVersion >= 4 * 65536) {
    return 4096;
  }
  return 8192;
}
