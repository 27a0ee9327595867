// The two readers of a panel's answer: the "OK" rule over the raw bytes and
// the cut of the reply data out of a reply text, each against a plain
// restatement of what it must find.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "panel/exchange.h"

namespace {

bool OkAnywhere(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  return bytes.find("OK") != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FUZZ_CHECK(ReplyHasOk(std::span<const uint8_t>(data, size)) == OkAnywhere(data, size),
             "\"OK\" is found wherever it stands, zero bytes or not, and nowhere else");

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string extracted = ExtractReply(text);
  const size_t marker = text.find('>');
  if (marker == std::string_view::npos) {
    FUZZ_CHECK(extracted.empty(), "a text without \">\" has no reply data");
    return 0;
  }
  const size_t end = text.find("\r\n", marker + 1);
  if (end == std::string_view::npos) {
    FUZZ_CHECK(extracted.empty(), "no CR LF after the first \">\": no reply data");
    return 0;
  }
  FUZZ_CHECK(extracted == text.substr(marker + 1, end - marker - 1),
             "the reply data is what stands between the first \">\" and the next CR LF");
  FUZZ_CHECK(extracted.find("\r\n") == std::string::npos, "the reply data holds no CR LF");
  return 0;
}
