#include <cstring>

#include "platform/system_text.h"

std::string SystemErrorText(int number) {
  return TrimSystemText(std::strerror(number));
}
