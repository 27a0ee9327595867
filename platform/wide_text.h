#pragma once
// UTF-8 <-> UTF-16 at the edge of the Win32 calls (Windows only): our texts
// are UTF-8 everywhere, the system's wide calls speak UTF-16. Text that does
// not convert gives an empty result.

#include <cstddef>
#include <string>

std::string Utf8FromWide(const wchar_t* text, size_t length);
inline std::string Utf8FromWide(const std::wstring& text) {
  return Utf8FromWide(text.data(), text.size());
}
std::wstring WideFromUtf8(const std::string& utf8);
