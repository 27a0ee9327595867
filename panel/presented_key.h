#pragma once
// "Читать ключ": the key presented to the panel's reader, taken only as the
// command-line tool's read-key takes it: one answer holding one key of 16
// hexadecimal digits, and nothing after it. What came otherwise is no key.

#include <string>

#include "panel/reply_checks.h"

class PanelSession;

enum class PresentedKey {
  kKey,      // a key was read
  kNoKey,    // no key was presented in time: the panel did not accept "+T00"
  kNotAKey,  // something came that is not one key
};

struct PresentedKeyRead {
  PresentedKey outcome = PresentedKey::kNoKey;
  std::string key;    // display order, when a key was read
  std::string reply;  // what came, for the log; empty when nothing was taken
  // kNotAKey: what was wrong with it (a reply that is no key, or more of an
  // answer after it).
  ReplyProblem problem = ReplyProblem::kNone;
};

// Sends the read of the presented key (up to 5000 ms). Raises EPortNotOpen,
// sending nothing, when the port is closed; errors of the line pass through.
PresentedKeyRead ReadPresentedKeyExactly(PanelSession& session);
