// One spelling for each COM port: what the port box, the tool's map and the
// settings store take as a COM name, and where such a name leads.

#include "serial/com_name.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "serial/comm_device.h"

namespace {

TEST(ComNames, EachPortHasOneSpellingAndOddSpellingsOpenNothing) {
  struct Case {
    const char* text;
    std::optional<unsigned> number;
    std::optional<std::string> posixDevice;  // with COM5 mapped to /dev/ttyUSB0
  };
  const Case cases[] = {
      {"COM1", 1, "/dev/ttyS0"},
      {"com5", 5, "/dev/ttyUSB0"},
      {"Com12", 12, "/dev/ttyS11"},
      {"COM256", 256, "/dev/ttyS255"},
      {"COM05", std::nullopt, std::nullopt},  // not a second name of COM5
      {"COM0", std::nullopt, std::nullopt},
      {"COM257", std::nullopt, std::nullopt},
      {"COM300", std::nullopt, std::nullopt},
      {"COM99999999999", std::nullopt, std::nullopt},
      {"COM", std::nullopt, std::nullopt},
      {"COM1 ", std::nullopt, std::nullopt},
      {"COM+5", std::nullopt, std::nullopt},
      {"CON5", std::nullopt, std::nullopt},
      {"LPT1", std::nullopt, std::nullopt},
  };
#ifndef _WIN32
  SetPortMapLookup([](const std::string& name) -> std::optional<std::string> {
    if (name == "COM5") return std::string("/dev/ttyUSB0");
    return std::nullopt;
  });
#endif
  for (const Case& c : cases) {
    EXPECT_EQ(ComNumber(c.text), c.number) << c.text;
    if (c.number) {
      EXPECT_EQ(ComName(*c.number), std::string(c.text).replace(0, 3, "COM"));
    }
#ifndef _WIN32
    EXPECT_EQ(ResolveDevicePath(c.text), c.posixDevice) << c.text;
#endif
  }
#ifndef _WIN32
  SetPortMapLookup(nullptr);
#endif
  EXPECT_EQ(AllComNames().size(), kHighestComNumber);
  EXPECT_EQ(AllComNames().back(), "COM256");
}

}  // namespace
