#pragma once
// "Читать ключ": the key presented to the panel's reader, taken only as the
// command-line tool's read-key takes it: one answer holding one key of 16
// hexadecimal digits, and nothing after it. What came otherwise is no key.

#include <string>

#include "panel/operation.h"

class PanelSession;

enum class PresentedKey {
  kKey,      // a key was read
  kNoKey,    // no key was presented in time: the panel did not accept "+T00"
  kNotAKey,  // something came that is not one key
};

struct PresentedKeyRead {
  PresentedKey outcome = PresentedKey::kNoKey;
  std::string key;  // display order, when a key was read
  Outcome story;    // what came, and the verdict on it
};

// Sends the read of the presented key (up to 5000 ms). Raises EPortNotOpen,
// sending nothing, when the port is closed, and EOperationFailed when the
// line or the log is lost.
PresentedKeyRead ReadPresentedKeyExactly(PanelSession& session);
