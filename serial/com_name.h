#pragma once
// What a COM name is, for every program and platform: "COM" in any letter
// case followed by a number from 1 to 256 written without leading zeros.
// "com5" is COM5. "COM05" and "COM300" are no COM names: Windows opens
// neither as a COM port, and a port with two spellings would open its
// mapped adapter under one and the UART under the other.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The highest port number that Windows gives a COM port.
inline constexpr unsigned kHighestComNumber = 256;

// The number n of the COM name "COMn" (any letter case); nothing for any
// other text.
std::optional<unsigned> ComNumber(std::string_view name);

// "COMn", the spelling the port map and the port list use.
std::string ComName(unsigned number);

// Every COM name, COM1 to COM256, in number order.
std::vector<std::string> AllComNames();
