#include "platform/system_text.h"

#include <cstring>

std::string CLibraryErrorText(int number) {
  return TrimSystemText(std::strerror(number));
}

std::string TrimSystemText(std::string text) {
  while (!text.empty()) {
    const auto last = static_cast<unsigned char>(text.back());
    if (last != '.' && last > 32) break;
    text.pop_back();
  }
  return text;
}
