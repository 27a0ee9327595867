#pragma once
// Telling why a device cannot be opened, shared by each backend's device file
// and its open-diagnosis file (open_diagnosis_posix.cpp,
// open_diagnosis_win32.cpp). Internal to the backends.

#include <string>

#include "platform/system_text.h"
#include "serial/open_failure.h"

// Resets failure and notes in it the device path that name stands for. False,
// with the failure noted, when the name stands for no device (on POSIX also
// when the node is missing or is no character device).
bool PrepareOpen(const std::string& name, OpenFailure& failure);

// Notes the system's error number (errno, or GetLastError on Windows) in
// failure with its text and the kind of failure it means, or the kind given.
// Always false, so that a refusal can be returned.
bool RefuseOpen(OpenFailure& failure, int number);
inline bool RefuseOpen(OpenFailure& failure, OpenFailureKind kind, int number) {
  failure.kind = kind;
  failure.code = number;
  failure.text = SystemErrorText(number);
  return false;
}
