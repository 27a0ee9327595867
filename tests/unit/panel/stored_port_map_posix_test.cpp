#include "panel/stored_port_map.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "unit/support/config_home.h"

namespace {

// The serial code's port map is process-wide: leave it as it was found.
class InstalledPortMap {
 public:
  InstalledPortMap() { InstallStoredPortMap(); }
  ~InstalledPortMap() { SetPortMapLookup(nullptr); }
};

const std::string kMap =
    "REGEDIT4\n"
    "\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Ports]\n"
    "\"COM5\"=\"/dev/ttyUSB0\"\n"
    "\"usb1\"=\"/dev/serial/by-id/usb-Прибор-if00\"\n"
    "\"usb2\"=\"/dev/serial/by-id/usb-Gerät_Ø-if00\"\n"
    "\"COM7\"=dword:00000001\n"
    "\"COM8\"=\"\"\n"
    "\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Forms\\fOrvex]\n"
    "\"COM6\"=\"/dev/not-the-port-map\"\n";

struct ResolveCase {
  const char* port;
  std::optional<std::string> path;
};

TEST(PanelStoredPortMap, APortNamedInTheMapOpensItsDevice) {
  ScratchConfigHome home;
  home.Write(kMap);
  InstalledPortMap installed;
  const ResolveCase cases[] = {
      {"COM5", "/dev/ttyUSB0"},
      {"com5", "/dev/ttyUSB0"},
      {"USB1", "/dev/serial/by-id/usb-Прибор-if00"},
      {"COM6", "/dev/ttyS5"},  // a value of another key maps nothing
      {"COM7", "/dev/ttyS6"},  // not a text
      {"COM8", "/dev/ttyS7"},  // empty
      {"COM1", "/dev/ttyS0"},
      {"usb2", "/dev/serial/by-id/usb-Gerät_Ø-if00"},  // beyond code page 1251
      {"usb3", std::nullopt},
      {"/dev/ttyACM3", "/dev/ttyACM3"},
  };
  for (const ResolveCase& c : cases) {
    EXPECT_EQ(ResolveDevicePath(c.port), c.path) << c.port;
  }
}

TEST(PanelStoredPortMap, AnEditMadeWhileRunningCountsAtTheNextOpening) {
  ScratchConfigHome home;
  InstalledPortMap installed;
  EXPECT_EQ(ResolveDevicePath("usb1"), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(home.File()));  // a look-up writes nothing

  home.Write(kMap);
  EXPECT_EQ(ResolveDevicePath("usb1"), "/dev/serial/by-id/usb-Прибор-if00");
  std::string edited = kMap;
  edited.replace(edited.find("/dev/ttyUSB0"), 12, "/dev/ttyACM0");
  home.Write(edited);
  EXPECT_EQ(ResolveDevicePath("COM5"), "/dev/ttyACM0");
}

TEST(PanelStoredPortMap, AnUnreadableSettingsFileMapsNothing) {
  ScratchConfigHome home;
  home.Write(kMap + "\"broken\n");
  InstalledPortMap installed;
  EXPECT_EQ(ResolveDevicePath("usb1"), std::nullopt);
  EXPECT_EQ(ResolveDevicePath("COM5"), "/dev/ttyS4");
  EXPECT_EQ(OpenCommDevice("usb1"), nullptr);
}

}  // namespace
