// The tool's port commands end to end: the ports of a sysfs tree built in a
// folder (ORVEX_GSM_SYSFS_ROOT), the port map in a fresh settings file, and
// the messages for a port that does not open.

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "fakes/fake_sysfs.h"
#include "fakes/holder_process.h"
#include "fakes/pty_pair.h"
#include "panel/stored_port_map.h"
#include "serial/serial_comm.h"
#include "support/form_state.h"
#include "support/port_map_store.h"
#include "tools/cli/cli.h"
#include "tools/cli/cli_ports.h"
#include "unit/support/config_home.h"

namespace {

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

const char kById[] = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

class CliPorts : public ::testing::Test {
 protected:
  CliPorts() : tree(sysfs.path()) {
    setenv("ORVEX_GSM_SYSFS_ROOT", sysfs.path().c_str(), 1);
    tree.AddUsbSerial("ttyUSB0", {"1-1", "0403", "6001", "FTDI", "FT232R USB UART", "A50285BI",
                                  "ftdi_sio", kById});
    tree.AddAcm("ttyACM0", {"1-2", "2341", "0043", "", "Arduino Uno", "", "cdc_acm", ""});
    tree.AddUart("ttyS0", 4, "serial");
    // The kernel paths lead to real terminals.
    tree.LinkDevice("ttyUSB0", adapter.SlavePath());
    tree.LinkDevice("ttyACM0", modem.SlavePath());
    tree.LinkDevice("ttyS0", "/nonexistent/ttyS0");
  }
  ~CliPorts() override {
    unsetenv("ORVEX_GSM_SYSFS_ROOT");
    SetPortMapLookup(nullptr);
  }

  std::string Plain() {
    std::ostringstream out, err;
    EXPECT_EQ(ListPorts(true, out, err), 0);
    EXPECT_EQ(err.str(), "");
    return out.str();
  }

  ScratchConfigHome home;
  ScratchDir sysfs;
  FakeSysfs tree;
  PtyPair adapter;
  PtyPair modem;
};

TEST_F(CliPorts, MapListUseAndUnmapAnAdapterByItsStableName) {
  const std::string byId = tree.root().string() + "/dev/serial/by-id/" + kById;
  std::ostringstream out, err;
  ASSERT_EQ(MapPort("com5", byId, out, err), 0) << err.str();
  EXPECT_EQ(out.str(), "COM5 -> " + byId + "\n");

  {
    HolderProcess terminal(modem.SlavePath());
    const std::string holder = "sleep " + std::to_string(terminal.pid());
    EXPECT_EQ(Plain(), tree.Device("ttyACM0") + "\t\t2341:0043\tArduino Uno\t\tbusy (" + holder +
                           ")\tclose " + holder + "\n" + tree.Device("ttyS0") +
                           "\t\t\t\t\tno device\t\n" + tree.Device("ttyUSB0") + "\t" + byId +
                           "\t0403:6001\tFTDI FT232R USB UART\tCOM5\tok\t\n");
  }
  std::ostringstream table;
  EXPECT_EQ(ListPorts(false, table, err), 0);
  EXPECT_TRUE(table.str().starts_with("DEVICE")) << table.str();
  EXPECT_EQ(AdapterPorts(),
            (std::vector<std::string>{tree.Device("ttyACM0"), tree.Device("ttyUSB0")}));

  // Every program that installs the port map opens the adapter as COM5.
  InstallStoredPortMap();
  TSerialComm comm;
  comm.SetDeviceName("COM5");
  EXPECT_TRUE(comm.OpenDevice());
  comm.CloseDevice();

  out.str("");
  EXPECT_EQ(UnmapPort("Com5", out, err), 0);
  EXPECT_EQ(out.str(), "COM5 unmapped\n");
  EXPECT_EQ(ResolveDevicePath("COM5"), "/dev/ttyS4");
  EXPECT_EQ(Plain().find("COM5"), std::string::npos);
  out.str("");
  err.str("");
  EXPECT_EQ(UnmapPort("COM5", out, err), 0);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(),
            "orvex-gsm-cli: COM5 is not mapped: nothing to unmap (orvex-gsm-cli map lists the "
            "mapped names)\n");
}

TEST_F(CliPorts, BadPortNamesAndRelativePathsAreRefusedAndAMissingPathIsOnlyWarnedOf) {
  struct Case {
    const char* com;
    const char* path;
    int code;
    const char* error;
  };
  const Case cases[] = {
      {"COM0", "/dev/ttyUSB0", 2, "orvex-gsm-cli: not a port name: COM0 (COM1 to COM256)\n"},
      {"COM257", "/dev/ttyUSB0", 2, "orvex-gsm-cli: not a port name: COM257 (COM1 to COM256)\n"},
      {"COM05", "/dev/ttyUSB0", 2, "orvex-gsm-cli: not a port name: COM05 (COM1 to COM256)\n"},
      {"LPT1", "/dev/ttyUSB0", 2, "orvex-gsm-cli: not a port name: LPT1 (COM1 to COM256)\n"},
      // The path most likely meant is offered, ready to run.
      {"COM4", "ttyUSB0", 2,
       "orvex-gsm-cli: not an absolute path: ttyUSB0\n"
       "orvex-gsm-cli: the map needs the device's whole path, such as: orvex-gsm-cli map COM4 "
       "/dev/ttyUSB0\n"
       "orvex-gsm-cli: (orvex-gsm-cli ports lists the devices present)\n"},
      {"COM1", "dev/ttyUSB0", 2,
       "orvex-gsm-cli: not an absolute path: dev/ttyUSB0\n"
       "orvex-gsm-cli: the map needs the device's whole path, such as: orvex-gsm-cli map COM1 "
       "/dev/ttyUSB0\n"
       "orvex-gsm-cli: (orvex-gsm-cli ports lists the devices present)\n"},
      {"COM1", "", 2,
       "orvex-gsm-cli: not an absolute path: \n"
       "orvex-gsm-cli: the map needs the device's whole path, such as: orvex-gsm-cli map COM1 "
       "/dev/ttyUSB0\n"
       "orvex-gsm-cli: (orvex-gsm-cli ports lists the devices present)\n"},
      // A COM name or a file is no device's path.
      {"COM5", "COM6", 2,
       "orvex-gsm-cli: COM6 is a COM name, not a device: the map takes a device's whole path, "
       "such as orvex-gsm-cli map COM5 /dev/ttyUSB0\n"
       "orvex-gsm-cli: (orvex-gsm-cli ports lists the devices present)\n"},
      {"COM6", "/etc/passwd", 2,
       "orvex-gsm-cli: /etc/passwd is not a serial device: the map takes a device's whole path, "
       "such as orvex-gsm-cli map COM6 /dev/ttyUSB0\n"
       "orvex-gsm-cli: (orvex-gsm-cli ports lists the devices present)\n"},
      {"com256", "/nonexistent/ttyUSB9", 0,
       "orvex-gsm-cli: warning: /nonexistent/ttyUSB9 does not exist now; COM256 opens it once "
       "the adapter is plugged in\n"},
  };
  for (const Case& c : cases) {
    std::ostringstream out, err;
    EXPECT_EQ(MapPort(c.com, c.path, out, err), c.code) << c.com << " " << c.path;
    EXPECT_EQ(err.str(), c.error);
  }
  EXPECT_EQ(LookUpStoredPort(DefaultRegistryStore(), "COM256"), "/nonexistent/ttyUSB9");
  EXPECT_EQ(ReadStoredComMap(DefaultRegistryStore()).size(), 1u);
  std::ostringstream out, err;
  EXPECT_EQ(UnmapPort("COM", out, err), 2);
}

TEST_F(CliPorts, AStoreThatCannotBeWrittenFailsTheMap) {
  // The settings folder would have to be made below a plain file.
  WriteFileBytes(sysfs.path() / "plain", "");
  setenv("XDG_CONFIG_HOME", (sysfs.path() / "plain").c_str(), 1);
  std::ostringstream out, err;
  EXPECT_EQ(MapPort("COM5", "/nonexistent/ttyUSB9", out, err), 1);
  // The one message names the folder that cannot be made, the real cause,
  // then where the store is and what to do.
  const std::string folder = (sysfs.path() / "plain" / "NolvarGSM").string();
  EXPECT_EQ(err.str(),
            "orvex-gsm-cli: cannot write the port map: Failed to set data for 'COM5' "
            "(cannot make the folder " +
                folder +
                ": Not a directory)\n"
                "orvex-gsm-cli: the settings are kept in " +
                folder +
                "/user.reg: its folder must be one you can write, on a disk with room\n"
                "orvex-gsm-cli: (ls -ld '" +
                folder + "' shows whose it is); then run map COM5 again\n");
  EXPECT_EQ(out.str(), "");
}

TEST_F(CliPorts, MapAloneListsEachMappingAndWhetherItsDeviceIsThere) {
  std::ostringstream out, err;
  EXPECT_EQ(ListPortMap(false, false, out, err), 0);
  EXPECT_EQ(out.str(), "");
  EXPECT_NE(err.str().find("no COM name is mapped"), std::string::npos) << err.str();

  const std::string byId = tree.root().string() + "/dev/serial/by-id/" + kById;
  ASSERT_EQ(MapPort("COM5", byId, out, err), 0);
  ASSERT_EQ(MapPort("COM7", "/nonexistent/ttyUSB9", out, err), 0);
  out.str("");
  err.str("");
  EXPECT_EQ(ListPortMap(true, false, out, err), 0);
  EXPECT_EQ(out.str(), "COM5\t" + byId + "\tpresent\t" + tree.Device("ttyUSB0") +
                           "\nCOM7\t/nonexistent/ttyUSB9\tabsent\t\n");
  EXPECT_EQ(err.str(), "");
  // The port list names the mapping whose adapter is away.
  EXPECT_TRUE(
      Plain().ends_with("/nonexistent/ttyUSB9\t\t\tmapped, not present now\tCOM7\tabsent\t"
                        "plug the adapter in, or unmap COM7\n"));
}

// A settings file that cannot be read is said once by every command that
// uses the port map, with its path and line; it is never overwritten.
TEST_F(CliPorts, AnUnreadableSettingsFileIsSaidOnceAndLeftAsItIs) {
  const std::string broken =
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\NolvarGSM\\Ports]\n\"COM3\n";
  home.Write(broken);
  const std::vector<std::vector<std::string>> commands = {
      {"-p", "/nonexistent/ttyUSB9", "probe"}, {"probe"}, {"ports"}, {"map"}, {"unmap", "COM3"}};
  for (const auto& args : commands) {
    std::istringstream in;
    std::ostringstream out, err;
    const int code = RunCli(args, in, out, err);
    SCOPED_TRACE(args.back() + ": " + err.str());
    EXPECT_EQ(Count(err.str(), "cannot be read"), 1u);
    EXPECT_NE(err.str().find(home.File().string() + "' cannot be read, line 4"), std::string::npos);
    // The step that mends it, ready to run.
    EXPECT_NE(err.str().find("orvex-gsm-cli:   mv '" + home.File().string() + "' '" +
                             home.File().string() + ".broken'\n"),
              std::string::npos);
    if (args.back() == "map" || args.back() == "COM3") {
      EXPECT_EQ(code, 1);
    }
    if (args.back() == "map") {
      EXPECT_TRUE(
          err.str().ends_with("orvex-gsm-cli: no port map to list: mend the settings file "
                              "or move it away as said above, then list the map again\n"));
    }
  }
  EXPECT_EQ(home.Read(), broken);
}

TEST_F(CliPorts, AFailedOpenSaysWhyAndWhatHelps) {
  struct Case {
    OpenFailure failure;
    std::string text;
  };
  const Case cases[] = {
      // A group nobody is a member of: the hint is to join it.
      {{OpenFailureKind::kPermission, 13, "Permission denied", "/dev/ttyUSB0", {}, "orvex-none"},
       "cannot open COM5 (/dev/ttyUSB0): Permission denied\n"
       "/dev/ttyUSB0 belongs to the group orvex-none; add yourself to it with\n"
       "  sudo usermod -aG orvex-none $USER\n"
       "then log out and in again\n"},
      {{OpenFailureKind::kBusy,
        16,
        "Device or resource busy",
        "/dev/ttyUSB0",
        {{1234, "minicom"}, {99, "screen"}},
        "dialout"},
       "cannot open /dev/ttyUSB0: Device or resource busy\n"
       "held by minicom 1234, screen 99: close it first\n"},
      {{OpenFailureKind::kNoDevice, 2, "No such file or directory", "/dev/ttyUSB7", {}, ""},
       "cannot open /dev/ttyUSB7: No such file or directory\nports present: " +
           tree.Device("ttyACM0") + ", " + tree.Device("ttyS0") + ", " + tree.Device("ttyUSB0") +
           "\n"},
      {{OpenFailureKind::kNotSerialPort, 25, "Inappropriate ioctl for device", "/dev/null", {}, ""},
       "cannot open /dev/null: Inappropriate ioctl for device\n/dev/null is not a serial port\n"},
  };
  for (const Case& c : cases) {
    const std::string port =
        c.failure.kind == OpenFailureKind::kPermission ? "COM5" : c.failure.device;
    EXPECT_EQ(DescribeOpenFailure(port, c.failure), c.text);
  }
  // A member whose session began before joining is not told to join again.
  EXPECT_EQ(PermissionHint("/dev/ttyUSB0", "dialout", GroupMembership::kNotInSession),
            "/dev/ttyUSB0 belongs to the group dialout; you are a member, but this session began "
            "before you joined it:\nlog out and in again, or start a shell in the group with\n"
            "  newgrp dialout\n");
}

TEST_F(CliPorts, SetPortIsWhatTheWindowsPortBoxStartsWith) {
  std::ostringstream out, err;
  ASSERT_EQ(SetWindowPort("/dev/ttyUSB0", out, err), 0) << err.str();
  auto key = DefaultRegistryStore().OpenKey(FormStateKeyPath("fOrvex"), false);
  EXPECT_EQ(key->ReadString("cb1.Text"), "/dev/ttyUSB0");
  EXPECT_EQ(SetWindowPort("", out, err), 2);
  // What the window could never open is refused; a device not there yet is
  // taken with a warning.
  for (const char* bad : {"foo bar", "/etc/passwd", "COM0"}) {
    std::ostringstream refused;
    EXPECT_EQ(SetWindowPort(bad, out, refused), 2) << bad;
    EXPECT_NE(refused.str().find("not a port"), std::string::npos) << refused.str();
  }
  // COM200's /dev/ttyS199 never has a UART behind it; COM5 is the adapter.
  ASSERT_EQ(MapPort("COM5", adapter.SlavePath(), out, err), 0) << err.str();
  InstallStoredPortMap();
  std::ostringstream absent, present;
  EXPECT_EQ(SetWindowPort("COM200", out, absent), 0);
  EXPECT_NE(absent.str().find("COM200 (/dev/ttyS199) is not present now"), std::string::npos);
  EXPECT_EQ(SetWindowPort("COM5", out, present), 0);
  EXPECT_EQ(present.str(), "");
  std::ostringstream warned;
  EXPECT_EQ(SetWindowPort("/nonexistent/ttyUSB9", out, warned), 0);
  EXPECT_NE(warned.str().find("does not exist now"), std::string::npos) << warned.str();
  EXPECT_EQ(
      DefaultRegistryStore().OpenKey(FormStateKeyPath("fOrvex"), false)->ReadString("cb1.Text"),
      "/nonexistent/ttyUSB9");
}

}  // namespace
