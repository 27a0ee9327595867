#pragma once
// How the page operations reach the panel.

#include <cstdint>
#include <functional>
#include <string>

#include "panel/exchange.h"

// SendCommand's shape: command, attempts, budget, reply (all as SendCommand).
// The window and the tool send over their own port (PanelSession::Sender);
// tests give a scripted one.
using CommandSender = std::function<void(const std::string& command, int32_t attempts,
                                         int32_t budget, std::string& reply)>;

// "List index out of bounds (%d)".
[[noreturn]] void RaiseListIndexError(int index);
