#include "platform/system_text.h"

std::string SystemErrorText(int number) {
  return CLibraryErrorText(number);
}
