// FormatMessageA would give the text in the system's ANSI code page, which is
// neither UTF-8 for the window nor code page 1251 for the log on every system:
// the wide text is taken and converted.

#include <windows.h>

#include "platform/system_text.h"
#include "platform/wide_text.h"

std::string SystemErrorText(int number) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(number), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string utf8 = length > 0 && text != nullptr ? Utf8FromWide(text, length) : std::string();
  if (text != nullptr) LocalFree(text);
  return TrimSystemText(std::move(utf8));
}
