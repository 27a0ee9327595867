#pragma once
// The serial subsystem's one exception type and the two ways it is raised.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "platform/system_text.h"  // TrimSystemText, SystemErrorText

// Messages of the codes below; "allready" is spelled as the panel software
// has always shown it.
inline constexpr const char* sDeviceNotOpened = "Device not opened.";
inline constexpr const char* sDeviceAlreadyOpened = "Device is allready opened.";
inline constexpr const char* sUnableToUpdateDcb = "Unable to update device control block.";
inline constexpr const char* sSendLocked = "Device locked. Cannot perform send operations.";
inline constexpr const char* sReadLocked = "Device locked. Cannot perform read operations.";
inline constexpr const char* sUnableToUpdateBuffers = "Unable to update IO buffers.";
inline constexpr const char* sUnableToUpdateTimeouts = "Unable to update Timeouts.";
inline constexpr const char* sUnableToRead = "Unable to read from port.";
inline constexpr const char* sUnableToWrite = "Unable to write to port.";
inline constexpr const char* sCannotOpenDevice = "Cannot open device %s";

enum DeviceErrorCode : int32_t {
  kErrNotOpened = 1,
  kErrAlreadyOpened = 2,
  kErrUpdateDcb = 3,
  kErrSendLocked = 4,
  kErrReadLocked = 5,
  kErrUpdateBuffers = 6,
  kErrUpdateTimeouts = 7,
  kErrRead = 10,
  kErrWrite = 11,
  kErrCannotOpen = 65535,
};

// An operating-system error: its number (GetLastError on Windows, errno on
// POSIX) and the system's text for it.
struct SystemError {
  int number = 0;
  std::string text;
};

class EDeviceError : public std::runtime_error {
 public:
  EDeviceError(const std::string& message, int32_t code)
      : std::runtime_error(message), ErrorCode(code) {}
  EDeviceError(const std::string& message, int32_t code, SystemError cause)
      : std::runtime_error(message), ErrorCode(code), cause_(std::move(cause)) {}
  int32_t ErrorCode;

  // The system's error behind a failed read or write, as data: callers that
  // tell the user the system's words need not take the message apart.
  // Nothing for the component's own refusals.
  const std::optional<SystemError>& Cause() const { return cause_; }

 private:
  std::optional<SystemError> cause_;
};

// The toolkit's assignment error, raised when a settings object is given an
// object of another class.
class EAssignError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The error numbered number, with the system's text for it.
inline SystemError SystemErrorOf(int number) {
  return SystemError{number, SystemErrorText(number)};
}

[[noreturn]] void RaiseDeviceError(const std::string& message, int32_t code);

// "%s (Win32 error %d: %s)": the message, the system's error number and its
// text; the error also keeps the number and text as its Cause. The name stays
// the same on every platform; on POSIX the number is errno's.
[[noreturn]] void RaiseWin32DeviceError(const std::string& message, int32_t code,
                                        const SystemError& error);
