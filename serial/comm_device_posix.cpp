// The serial device over termios. A mirror image of comm_device_win32.cpp:
// the same operations in the same order, in POSIX terms. Why an open failed
// is told in open_diagnosis_posix.cpp, the clock kept in comm_clock_posix.cpp.

#include <asm/termbits.h>  // termios2 and BOTHER: any baud rate, not just B* constants
#include <fcntl.h>
#include <linux/serial.h>  // serial_icounter_struct
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

#include "serial/comm_device.h"
#include "serial/device_holders.h"
#include "serial/open_diagnosis.h"

namespace {

// Our own receive queue is bounded; beyond it bytes wait in the kernel.
constexpr size_t kMaxQueued = 64 * 1024;

// Standard rates keep their B* constants, so that every other tool reading the
// port's settings sees them; only other rates need BOTHER.
struct StandardRate {
  uint32_t rate;
  tcflag_t code;
};
constexpr StandardRate kStandardRates[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

tcflag_t RateCode(uint32_t rate) {
  for (const StandardRate& r : kStandardRates)
    if (r.rate == rate) return r.code;
  return BOTHER;
}

uint32_t RateOf(const termios2& tio) {
  const tcflag_t code = tio.c_cflag & CBAUD;
  for (const StandardRate& r : kStandardRates)
    if (r.code == code) return r.rate;
  return tio.c_ospeed;
}

// Raw mode: nothing echoed, translated or taken as a signal. With VMIN 0 a
// read of an empty queue returns 0, which could not be told from a hang-up;
// with VMIN 1 on a non-blocking descriptor it fails with EAGAIN, and 0 means
// the line is gone.
void MakeRawMode(termios2& tio) {
  tio.c_iflag &=
      ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
}

// What the kernel cannot do is refused rather than silently approximated.
bool TermiosCanDo(const Dcb& dcb) {
  return dcb.BaudRate != 0 && dcb.ByteSize >= 5 && dcb.ByteSize <= 8 && dcb.Parity <= 4 &&
         dcb.StopBits <= 2 && (dcb.StopBits != 1 || dcb.ByteSize == 5) &&
         !(dcb.Flags & (kDcbOutxDsrFlow | kDcbDtrHandshake));
}

// The line settings of dcb over tio, in raw mode; the rest of tio stays.
termios2 ToTermios(const Dcb& dcb, termios2 tio) {
  MakeRawMode(tio);
  tio.c_cflag &=
      ~(CBAUD | (CBAUD << IBSHIFT) | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  const tcflag_t rate = RateCode(dcb.BaudRate);
  tio.c_cflag |= rate | (rate << IBSHIFT);
  tio.c_ispeed = tio.c_ospeed = dcb.BaudRate;
  static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  tio.c_cflag |= kSizes[dcb.ByteSize - 5];
  switch (dcb.Parity) {
    case 1:
      tio.c_cflag |= PARENB | PARODD;
      break;
    case 2:
      tio.c_cflag |= PARENB;
      break;
    case 3:
      tio.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case 4:
      tio.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  // 1.5 stop bits exist only with 5 data bits, where CSTOPB means just that.
  if (dcb.StopBits != 0) tio.c_cflag |= CSTOPB;
  if (dcb.Flags & (kDcbOutxCtsFlow | kDcbRtsHandshake)) tio.c_cflag |= CRTSCTS;

  tio.c_iflag &= ~(INPCK | IGNPAR);
  if (dcb.Flags & kDcbParity) tio.c_iflag |= INPCK;
  if (dcb.Flags & kDcbOutX) tio.c_iflag |= IXON;
  if (dcb.Flags & kDcbInX) tio.c_iflag |= IXOFF;
  tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
  tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
  return tio;
}

// The line settings that tio holds over dcb; what termios cannot show (the
// DTR and RTS levels, fNull, the event character) stays as dcb has it.
Dcb FromTermios(const termios2& tio, Dcb dcb) {
  dcb.DCBlength = 28;
  dcb.BaudRate = RateOf(tio);
  switch (tio.c_cflag & CSIZE) {
    case CS5:
      dcb.ByteSize = 5;
      break;
    case CS6:
      dcb.ByteSize = 6;
      break;
    case CS7:
      dcb.ByteSize = 7;
      break;
    default:
      dcb.ByteSize = 8;
      break;
  }
  if (!(tio.c_cflag & PARENB))
    dcb.Parity = 0;
  else if (tio.c_cflag & CMSPAR)
    dcb.Parity = (tio.c_cflag & PARODD) ? 3 : 4;
  else
    dcb.Parity = (tio.c_cflag & PARODD) ? 1 : 2;
  if (!(tio.c_cflag & CSTOPB))
    dcb.StopBits = 0;
  else if (dcb.StopBits != 1 || dcb.ByteSize != 5)
    dcb.StopBits = 2;
  auto setFlag = [&dcb](uint32_t flag, bool on) {
    dcb.Flags = on ? dcb.Flags | flag : dcb.Flags & ~flag;
  };
  dcb.Flags |= kDcbBinary;
  setFlag(kDcbParity, tio.c_iflag & INPCK);
  setFlag(kDcbOutX, tio.c_iflag & IXON);
  setFlag(kDcbInX, tio.c_iflag & IXOFF);
  const bool hardware = tio.c_cflag & CRTSCTS;
  if (!hardware)
    dcb.Flags &= ~(kDcbOutxCtsFlow | kDcbRtsHandshake);
  else if (!(dcb.Flags & (kDcbOutxCtsFlow | kDcbRtsHandshake)))
    dcb.Flags |= kDcbOutxCtsFlow | kDcbRtsHandshake;
  dcb.XonChar = static_cast<char>(tio.c_cc[VSTART]);
  dcb.XoffChar = static_cast<char>(tio.c_cc[VSTOP]);
  return dcb;
}

// Bits of the system's event mask that this backend can report.
enum : uint32_t {
  kEvRxChar = 0x0001,
  kEvRxFlag = 0x0002,
  kEvCts = 0x0008,
  kEvDsr = 0x0010,
  kEvRlsd = 0x0020,
  kEvBreak = 0x0040,
  kEvErr = 0x0080,
  kEvRing = 0x0100,
  kEvRx80Full = 0x0400,
};

// How often a wait looks at the line counters of a device with modem lines:
// their changes wake no poll().
constexpr int kCounterPollMs = 50;

// An eventfd used as a doorbell between the event thread and the transfers.
class Doorbell {
 public:
  Doorbell() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), error_(fd_ < 0 ? errno : 0) {}
  ~Doorbell() {
    if (fd_ >= 0) close(fd_);
  }
  Doorbell(const Doorbell&) = delete;
  Doorbell& operator=(const Doorbell&) = delete;
  int error() const { return error_; }
  int fd() const { return fd_; }
  void Ring() {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(fd_, &one, sizeof one);
  }
  void Clear() {
    uint64_t count;
    [[maybe_unused]] ssize_t n = read(fd_, &count, sizeof count);
  }

 private:
  int fd_;
  int error_;  // why the doorbell could not be made, or 0
};

class PosixCommDevice final : public CommDevice {
 public:
  explicit PosixCommDevice(int fd) : fd_(fd) {
    serial_icounter_struct counters{};
    has_counters_ = ioctl(fd_, TIOCGICOUNT, &counters) == 0;
    counters_ = counters;
  }
  ~PosixCommDevice() override { CloseHandle(); }

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
  LineWait WaitReadable(uint32_t timeoutMs) override;
  LineWait WaitWritable(uint32_t timeoutMs) override;
  bool SetEventMask(uint32_t mask) override;
  bool WaitEvent(uint32_t& events) override;
  void CancelEventWait() override { stop_.Ring(); }
  SystemError LastError() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
  }

  // Raw mode at once, so that nothing is echoed or translated before the
  // component hands over its settings.
  bool MakeRaw();
  int DoorbellError() const {
    return stop_.error() ? stop_.error() : (arrived_.error() ? arrived_.error() : queued_.error());
  }

 private:
  bool Fail(int number) {
    std::lock_guard<std::mutex> lock(mutex_);
    return FailLocked(number);
  }
  bool FailLocked(int number) {
    error_ = SystemErrorOf(number);
    return false;
  }
  void CloseHandle();
  // Moves what the kernel holds into our queue and notes the events for the
  // event thread. Called with the lock held, by the transfers and by the
  // event thread alike: whoever takes the bytes, the event is reported.
  void DrainInputLocked();
  uint32_t CounterEvents();
  void SetModemLine(int line, bool on);

  int fd_;
  bool has_counters_ = false;
  serial_icounter_struct counters_{};  // event thread only
  Doorbell stop_;                      // ends a pending event wait
  Doorbell arrived_;                   // the event thread queued bytes a transfer may wait for
  Doorbell queued_;                    // bytes were queued, by whichever thread: an event is due

  mutable std::mutex mutex_;  // guards everything below
  std::vector<uint8_t> rx_;   // received bytes, NULs already dropped under fNull
  bool discard_null_ = false;
  bool hung_up_ = false;
  uint32_t event_mask_ = 0;
  uint32_t pending_events_ = 0;  // seen since the last event word
  Dcb dcb_;                      // the last state handed over: what termios cannot show
  CommTimeouts timeouts_;
  CommQueueSizes sizes_;
  SystemError error_;
};

void PosixCommDevice::CloseHandle() {
  if (fd_ < 0) return;
  ioctl(fd_, TIOCNXCL);
  flock(fd_, LOCK_UN);
  close(fd_);
  fd_ = -1;
}

bool PosixCommDevice::MakeRaw() {
  termios2 tio{};
  if (ioctl(fd_, TCGETS2, &tio) != 0) return Fail(errno);
  MakeRawMode(tio);
  if (ioctl(fd_, TCSETS2, &tio) != 0) return Fail(errno);
  Dcb dcb;
  if (!GetState(dcb)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  dcb_ = dcb;
  return true;
}

bool PosixCommDevice::GetState(Dcb& dcb) {
  termios2 tio{};
  if (ioctl(fd_, TCGETS2, &tio) != 0) return Fail(errno);
  std::lock_guard<std::mutex> lock(mutex_);
  dcb = FromTermios(tio, dcb_);
  return true;
}

bool PosixCommDevice::SetState(const Dcb& dcb) {
  termios2 tio{};
  if (ioctl(fd_, TCGETS2, &tio) != 0) return Fail(errno);
  if (!TermiosCanDo(dcb)) return Fail(EINVAL);
  tio = ToTermios(dcb, tio);
  if (ioctl(fd_, TCSETS2, &tio) != 0) return Fail(errno);
  SetModemLine(TIOCM_DTR, dcb.Flags & kDcbDtrEnable);
  if (!(dcb.Flags & kDcbRtsHandshake)) SetModemLine(TIOCM_RTS, dcb.Flags & kDcbRtsEnable);
  std::lock_guard<std::mutex> lock(mutex_);
  discard_null_ = dcb.Flags & kDcbNull;
  dcb_ = dcb;
  return true;
}

void PosixCommDevice::SetModemLine(int line, bool on) {
  // A pseudo-terminal has no modem lines (ENOTTY/EINVAL): nothing to set.
  ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line);
}

bool PosixCommDevice::SetupQueues(uint32_t inputSize, uint32_t outputSize) {
  // The kernel sizes its own queues; the sizes are kept to be reported back.
  std::lock_guard<std::mutex> lock(mutex_);
  sizes_.dwCurrentRxQueue = inputSize;
  sizes_.dwCurrentTxQueue = outputSize;
  return true;
}

bool PosixCommDevice::Purge(uint32_t actions) {
  const bool rx = actions & (kPurgeRxAbort | kPurgeRxClear);
  const bool tx = actions & (kPurgeTxAbort | kPurgeTxClear);
  std::lock_guard<std::mutex> lock(mutex_);
  if (rx) rx_.clear();
  if (rx || tx) {
    const int which = rx && tx ? TCIOFLUSH : (rx ? TCIFLUSH : TCOFLUSH);
    if (ioctl(fd_, TCFLSH, which) != 0) return FailLocked(errno);
  }
  return true;
}

bool PosixCommDevice::GetTimeouts(CommTimeouts& timeouts) {
  std::lock_guard<std::mutex> lock(mutex_);
  timeouts = timeouts_;
  return true;
}

bool PosixCommDevice::SetTimeouts(const CommTimeouts& timeouts) {
  // Reads only take queued bytes and writes never block, so the timeouts have
  // nothing to bound here; they are kept to be reported back.
  std::lock_guard<std::mutex> lock(mutex_);
  timeouts_ = timeouts;
  return true;
}

bool PosixCommDevice::GetQueueSizes(CommQueueSizes& sizes) {
  std::lock_guard<std::mutex> lock(mutex_);
  sizes = sizes_;
  return true;
}

void PosixCommDevice::DrainInputLocked() {
  uint32_t events = 0;
  uint8_t chunk[4096];
  while (!hung_up_ && rx_.size() < kMaxQueued) {
    const ssize_t n = read(fd_, chunk, std::min(sizeof chunk, kMaxQueued - rx_.size()));
    if (n > 0) {
      events |= kEvRxChar;
      for (ssize_t i = 0; i < n; ++i) {
        if (chunk[i] == static_cast<uint8_t>(dcb_.EvtChar)) events |= kEvRxFlag;
        if (chunk[i] != 0 || !discard_null_) rx_.push_back(chunk[i]);
      }
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    // End of file or EIO: the far end hung up or the device went away.
    hung_up_ = true;
    error_ = SystemErrorOf(n == 0 ? EIO : errno);
    queued_.Ring();
  }
  if (events == 0) return;
  if (sizes_.dwCurrentRxQueue && rx_.size() * 5 >= sizes_.dwCurrentRxQueue * 4ull)
    events |= kEvRx80Full;
  pending_events_ |= events;
  arrived_.Ring();
  queued_.Ring();
}

bool PosixCommDevice::ClearErrors(CommQueueCounts& counts) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    DrainInputLocked();
    counts.cbInQue = static_cast<uint32_t>(rx_.size());
  }
  int outq = 0;
  counts.cbOutQue = ioctl(fd_, TIOCOUTQ, &outq) == 0 && outq > 0 ? static_cast<uint32_t>(outq) : 0;
  return true;
}

bool PosixCommDevice::Write(const uint8_t* data, uint32_t count, uint32_t& written) {
  written = 0;
  if (count == 0) return true;
  ssize_t n;
  do n = write(fd_, data, count);
  while (n < 0 && errno == EINTR);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
  if (n < 0) return Fail(errno);
  written = static_cast<uint32_t>(n);
  return true;
}

bool PosixCommDevice::Read(uint8_t* data, uint32_t count, uint32_t& read) {
  read = 0;
  std::lock_guard<std::mutex> lock(mutex_);
  DrainInputLocked();
  if (rx_.empty() && hung_up_) return FailLocked(error_.number);
  read = static_cast<uint32_t>(std::min<size_t>(count, rx_.size()));
  std::copy_n(rx_.begin(), read, data);
  rx_.erase(rx_.begin(), rx_.begin() + read);
  return true;
}

LineWait PosixCommDevice::WaitReadable(uint32_t timeoutMs) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    arrived_.Clear();
    DrainInputLocked();
    if (!rx_.empty()) return LineWait::kReady;
    if (hung_up_) return LineWait::kBroken;
  }
  // Bytes reach us either from the line itself or through the event thread,
  // which may take them from the kernel first and rings the doorbell.
  pollfd p[2] = {{fd_, POLLIN, 0}, {arrived_.fd(), POLLIN, 0}};
  const int r = poll(p, 2, static_cast<int>(std::min<uint32_t>(timeoutMs, 60000)));
  std::lock_guard<std::mutex> lock(mutex_);
  DrainInputLocked();
  if (!rx_.empty()) return LineWait::kReady;
  if (hung_up_ || (r > 0 && (p[0].revents & (POLLHUP | POLLERR | POLLNVAL))))
    return LineWait::kBroken;
  return LineWait::kTimedOut;
}

LineWait PosixCommDevice::WaitWritable(uint32_t timeoutMs) {
  pollfd p{fd_, POLLOUT, 0};
  const int r = poll(&p, 1, static_cast<int>(std::min<uint32_t>(timeoutMs, 60000)));
  if (r <= 0) return LineWait::kTimedOut;
  return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) ? LineWait::kBroken : LineWait::kReady;
}

bool PosixCommDevice::SetEventMask(uint32_t mask) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    event_mask_ = mask;
  }
  if (mask == 0) stop_.Ring();
  return true;
}

// Changes of modem lines, breaks and line errors show only in the driver's
// counters (a pseudo-terminal has none).
uint32_t PosixCommDevice::CounterEvents() {
  if (!has_counters_) return 0;
  serial_icounter_struct now{};
  if (ioctl(fd_, TIOCGICOUNT, &now) != 0) return 0;
  uint32_t events = 0;
  if (now.cts != counters_.cts) events |= kEvCts;
  if (now.dsr != counters_.dsr) events |= kEvDsr;
  if (now.dcd != counters_.dcd) events |= kEvRlsd;
  if (now.rng != counters_.rng) events |= kEvRing;
  if (now.brk != counters_.brk) events |= kEvBreak;
  if (now.frame != counters_.frame || now.overrun != counters_.overrun ||
      now.parity != counters_.parity || now.buf_overrun != counters_.buf_overrun)
    events |= kEvErr;
  counters_ = now;
  return events;
}

bool PosixCommDevice::WaitEvent(uint32_t& events) {
  events = 0;
  for (;;) {
    bool full;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (event_mask_ == 0 || hung_up_) return false;
      events = pending_events_ & event_mask_;
      pending_events_ = 0;
      if (events != 0) return true;
      full = rx_.size() >= kMaxQueued;
    }
    // While our queue is full the kernel keeps the rest; watching the line
    // then would only wake us again and again.
    pollfd p[3] = {
        {stop_.fd(), POLLIN, 0}, {queued_.fd(), POLLIN, 0}, {full ? -1 : fd_, POLLIN, 0}};
    const int timeout = has_counters_ || full ? kCounterPollMs : -1;
    if (poll(p, 3, timeout) < 0 && errno != EINTR) return Fail(errno);
    if (p[0].revents) {
      stop_.Clear();
      return false;
    }
    const uint32_t counted = CounterEvents();
    std::lock_guard<std::mutex> lock(mutex_);
    pending_events_ |= counted;
    if (p[2].revents) DrainInputLocked();
    queued_.Clear();
    if (!hung_up_ && (p[2].revents & (POLLHUP | POLLERR | POLLNVAL))) {
      hung_up_ = true;
      error_ = SystemErrorOf(EIO);
      arrived_.Ring();
    }
  }
}

}  // namespace

std::unique_ptr<CommDevice> OpenCommDevice(const std::string& name, OpenFailure& failure) {
  if (!PrepareOpen(name, failure)) return nullptr;
  const int fd = open(failure.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int number = errno;
    // Someone holds it under TIOCEXCL: name them where we can.
    if (number == EBUSY) NoteDeviceHolders(failure);
    RefuseOpen(failure, number);
    return nullptr;
  }
  // The holders are looked for once the device is known to be a terminal:
  // /dev/null and its like are held by nearly every process. Opening a port
  // that another program has open changes none of its lines.
  if (!isatty(fd)) {
    close(fd);
    RefuseOpen(failure, ENOTTY);
    return nullptr;
  }
  if (!CheckHolders(fd, failure)) {
    close(fd);
    return nullptr;
  }
  // Exclusive use: TIOCEXCL keeps other opens out (except root's), flock
  // keeps out every program that asks for the same lock, root included.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int number = errno;
    close(fd);
    // Held under the lock by a process we cannot see: still busy.
    RefuseOpen(failure, number == EWOULDBLOCK ? EBUSY : number);
    return nullptr;
  }
  // Its result is not looked at: it fails only on a descriptor that is no
  // terminal, refused above, and the lock already keeps out every program
  // that asks for it.
  ioctl(fd, TIOCEXCL);
  auto device = std::make_unique<PosixCommDevice>(fd);
  if (const int number = device->DoorbellError()) {
    RefuseOpen(failure, number);
    return nullptr;
  }
  if (!device->MakeRaw()) {
    RefuseOpen(failure, device->LastError().number);
    return nullptr;
  }
  failure = OpenFailure{};
  return device;
}

uint32_t MaxQueueSize() {
  return 4096;
}
