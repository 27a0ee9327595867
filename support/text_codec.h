#pragma once
// The codec between the 8-bit text of the panel line and log.txt (Windows
// code page 1251) and the UTF-8 that the window and the settings store hold.

#include <string>
#include <string_view>

// Every byte has a character, so a text that the panel sent comes back
// unchanged when it is written again: 0x98, which the code page leaves
// undefined, stands for U+0098.
std::string Cp1251ToUtf8(std::string_view bytes);

// A character that the code page cannot hold becomes '?', and so does every
// malformed piece of UTF-8 (one '?' per broken sequence).
std::string Utf8ToCp1251(std::string_view utf8);
