#pragma once
// The panel's command set: the text of every command, its attempts and reply
// budget, and the table of the six panel events.
//
// Command texts are 8-bit text in code page 1251, without the carriage return
// that the exchange adds. Captions in the event table are UTF-8 for the window.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "panel/exchange.h"

// Every command is sent with one attempt.
inline constexpr int32_t kCommandAttempts = 1;
inline constexpr int32_t kProbeBudget = DefaultReplyWait;
inline constexpr int32_t kKeyBudget = DefaultReplyWait;
inline constexpr int32_t kPresentedKeyBudget = 5000;
inline constexpr int32_t kFlagsBudget = 500;
inline constexpr int32_t kNumberBudget = 500;

inline constexpr int kKeySlots = 4;  // slots 1 to 4; slot 0 is the reader
inline constexpr int kEventCount = 6;
// Bits 0 to 5 of each flag byte belong to the six events; 6 and 7 are never
// sent.
inline constexpr uint8_t kFlagBits = 0x3F;

// The probe and the read of key 1 are the same text: the probe only looks at
// whether a reply came.
inline constexpr std::string_view kProbeCommand = "+T01";
inline constexpr std::string_view kPresentedKeyCommand = "+T00";
inline constexpr std::string_view kFlagsReadCommand = "+s";

// "+T0" and the slot digit (1 to 4).
std::string KeyReadCommand(int slot);
// "+T0", the slot digit and the key text in panel order.
std::string KeyWriteCommand(int slot, std::string_view panelKey);
// "+s", the dial byte's digits and the 24-hour byte's digits.
std::string FlagsWriteCommand(std::string_view dialDigits, std::string_view dayDigits);
// "+H0" and the event digit (1 to 6).
std::string NumberReadCommand(int event);
// A command without its data, as messages name it: "+T01", "+s", "+H03".
std::string CommandName(std::string_view command);
// "+H0", the event digit and the number's hexadecimal digits.
std::string NumberWriteCommand(int event, std::string_view digits);

struct PanelEvent {
  int number;               // 1 to 6, also the digit of "+H0" commands
  const char* caption;      // UTF-8
  const char* numberField;  // NumE1 ...
  const char* dialBox;      // Call1 ...
  const char* dayBox;       // H241 ...
  uint8_t bit;              // value of the event's bit in both flag bytes
};

inline constexpr std::array<PanelEvent, kEventCount> kPanelEvents = {{
    {1, "Размыкание шлейфа 1", "NumE1", "Call1", "H241", 1},
    {2, "Замыкание шлейфа 1", "NumE2", "Call2", "H242", 2},
    {3, "Размыкание шлейфа 2", "NumE3", "Call3", "H243", 4},
    {4, "Замыкание шлейфа 2", "NumE4", "Call4", "H244", 8},
    {5, "Снятие с охраны", "NumE5", "Call5", "H245", 16},
    {6, "Постановка на охрану", "NumE6", "Call6", "H246", 32},
}};
