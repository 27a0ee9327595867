// The serial component's settings model: what reaches the device, which
// writes are ignored, and how the groups are re-applied.

#include <gtest/gtest.h>

#include "fakes/fake_comm_device.h"
#include "panel/panel_port.h"
#include "serial/comm_values.h"
#include "serial/serial_comm.h"

namespace {

struct OpenComm {
  std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
  TSerialComm comm;
  OpenComm() { comm.SetDeviceFactory(FakeFactory(line)); }
  void Open() {
    comm.OpenDevice();
    line->calls.clear();
    line->states_set.clear();
    line->purges.clear();
    line->queue_setups.clear();
    line->timeouts_set.clear();
  }
};

TEST(SerialSettings, NewComponentHasTheDocumentedDefaults) {
  TSerialComm comm;
  EXPECT_FALSE(comm.Opened());
  EXPECT_EQ(comm.BaudRate(), br9600);
  EXPECT_EQ(comm.BaudValue(), 9600u);
  EXPECT_EQ(comm.DeviceName(), "COM2");
  EXPECT_EQ(comm.FlowControl(), fcNone);
  EXPECT_TRUE(comm.Options().Empty());
  EXPECT_TRUE(comm.RTSSettings().Empty());
  EXPECT_TRUE(comm.DTRSettings().Empty());
  EXPECT_TRUE(comm.XOnXOffSettings().Empty());
  EXPECT_EQ(comm.MonitorEvents(), (TDeviceEvents{deChar, deFlag, deOutEmpty}));
  EXPECT_TRUE(comm.Synchronize());
  EXPECT_EQ(comm.DataControl().DataBits(), db8);
  EXPECT_EQ(comm.DataControl().Parity(), paNone);
  EXPECT_EQ(comm.DataControl().StopBits(), sb1);
  EXPECT_EQ(comm.Buffers().InputSize(), 2048);
  EXPECT_EQ(comm.Buffers().OutputSize(), 2048);
  EXPECT_EQ(comm.Buffers().InputTimeout(), 500);
  EXPECT_EQ(comm.Buffers().OutputTimeout(), 500);
  EXPECT_EQ(comm.EventChars().XonChar(), 17);
  EXPECT_EQ(comm.EventChars().XoffChar(), 19);
  EXPECT_EQ(comm.EventChars().EofChar(), 0);
  EXPECT_EQ(comm.EventChars().ErrorChar(), 0);
  EXPECT_EQ(comm.EventChars().EventChar(), 10);
  EXPECT_EQ(comm.Timeouts().ReadInterval(), 1u);
  EXPECT_EQ(comm.Timeouts().ReadMultiplier(), 0u);
  EXPECT_EQ(comm.Timeouts().ReadConstant(), 1u);
  EXPECT_EQ(comm.Timeouts().WriteMultiplier(), 0u);
  EXPECT_EQ(comm.Timeouts().WriteConstant(), 1u);
  EXPECT_EQ(comm.LockState(), (TCommLocks{lkSend, lkRead}));
  EXPECT_EQ(comm.Buffers().Comm, &comm);
  EXPECT_EQ(comm.Timeouts().Comm, &comm);
}

TEST(SerialSettings, SetBitsMatchTheSystemEventMask) {
  EXPECT_EQ((TDeviceEvents{deChar}).bits(), 0x0001);      // EV_RXCHAR
  EXPECT_EQ((TDeviceEvents{deOutEmpty}).bits(), 0x0004);  // EV_TXEMPTY
  EXPECT_EQ((TDeviceEvents{deRing}).bits(), 0x0100);      // EV_RING
  EXPECT_EQ((TDeviceEvents{deProv2}).bits(), 0x1000);     // EV_EVENT2
  EXPECT_EQ((TCommOptions{coLeaveDTROpen}).bits(), 0x40);
  EXPECT_EQ(BaudRateTable[br19200], 19200u);
  EXPECT_EQ(BaudRateTable[br256000], 256000u);
}

TEST(SerialSettings, WindowSettingsReachTheDeviceAsTheWorkedExample) {
  OpenComm c;
  RestorePublishedValues(c.comm, Comm1Values());
  c.comm.OpenDevice();

  ASSERT_EQ(c.line->states_set.size(), 1u);
  const Dcb& dcb = c.line->states_set[0];
  EXPECT_EQ(dcb.DCBlength, 28u);
  EXPECT_EQ(dcb.BaudRate, 19200u);
  EXPECT_EQ(dcb.Flags, 0xC93u);
  EXPECT_EQ(dcb.XonLim, 62);
  EXPECT_EQ(dcb.XoffLim, 62);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, 0);
  EXPECT_EQ(dcb.StopBits, 0);
  EXPECT_EQ(dcb.XonChar, 0x11);
  EXPECT_EQ(dcb.XoffChar, 0x13);
  EXPECT_EQ(dcb.ErrorChar, 0);
  EXPECT_EQ(dcb.EofChar, 0);
  EXPECT_EQ(dcb.EvtChar, 0x0A);
  EXPECT_EQ(dcb.wReserved, 0);
  EXPECT_EQ(dcb.wReserved1, 0);

  // Line settings, then a full purge before the queue sizes, then timeouts.
  EXPECT_EQ(c.line->calls,
            (std::vector<std::string>{"SetState", "Purge", "SetupQueues", "SetTimeouts"}));
  EXPECT_EQ(c.line->purges, (std::vector<uint32_t>{0xF}));
  EXPECT_EQ(c.line->queue_setups, (std::vector<std::pair<uint32_t, uint32_t>>{{250, 250}}));
  ASSERT_EQ(c.line->timeouts_set.size(), 1u);
  EXPECT_EQ(c.line->timeouts_set[0], (CommTimeouts{1, 0, 1, 0, 1}));
  EXPECT_EQ(c.comm.HoldCount(), 0);
  EXPECT_TRUE(c.comm.LockState().Empty());
}

TEST(SerialSettings, OpenAndCloseFollowTheirStateRules) {
  OpenComm c;
  try {
    c.comm.CloseDevice();
    FAIL() << "closing a closed device must raise";
  } catch (const EDeviceError& e) {
    EXPECT_EQ(e.ErrorCode, 1);
    EXPECT_STREQ(e.what(), "Device not opened.");
  }
  EXPECT_TRUE(c.comm.OpenDevice());
  try {
    c.comm.OpenDevice();
    FAIL() << "a second open must raise";
  } catch (const EDeviceError& e) {
    EXPECT_EQ(e.ErrorCode, 2);
    EXPECT_STREQ(e.what(), "Device is allready opened.");
  }
  EXPECT_TRUE(c.comm.Opened());
  c.comm.HoldEvents(true);
  c.comm.CloseDevice();
  EXPECT_FALSE(c.comm.Opened());
  EXPECT_EQ(c.comm.HoldCount(), 0);
  EXPECT_EQ(c.line->closes, 1);
}

TEST(SerialSettings, DeviceThatCannotBeOpenedNamesItselfAndStaysClosed) {
  OpenComm c;
  c.line->open_fails = true;
  c.comm.SetDeviceName("COM99");
  try {
    c.comm.OpenDevice();
    FAIL();
  } catch (const EDeviceError& e) {
    EXPECT_EQ(e.ErrorCode, 65535);
    EXPECT_STREQ(e.what(), "Cannot open device COM99");
  }
  EXPECT_FALSE(c.comm.Opened());
  EXPECT_EQ(c.line->opened_name, "COM99");
}

TEST(SerialSettings, RefusedSettingDuringOpenLeavesTheDeviceOpen) {
  struct Case {
    const char* what;
    bool FakeLine::*flag;
    int code;
    const char* message;
  };
  const Case cases[] = {
      {"line", &FakeLine::fail_set_state, 3, "Unable to update device control block."},
      {"buffers", &FakeLine::fail_setup, 6, "Unable to update IO buffers."},
      {"timeouts", &FakeLine::fail_set_timeouts, 7, "Unable to update Timeouts."},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    OpenComm c;
    (*c.line).*(k.flag) = true;
    try {
      c.comm.OpenDevice();
      FAIL();
    } catch (const EDeviceError& e) {
      EXPECT_EQ(e.ErrorCode, k.code);
      EXPECT_STREQ(e.what(), k.message);
    }
    EXPECT_TRUE(c.comm.Opened());
    c.comm.CloseDevice();
  }
}

TEST(SerialSettings, DeviceNameChangesOnlyWhileClosed) {
  OpenComm c;
  c.Open();
  c.comm.SetDeviceName("COM7");
  EXPECT_EQ(c.comm.DeviceName(), "COM2");
  c.comm.CloseDevice();
  c.comm.SetDeviceName("COM7");
  EXPECT_EQ(c.comm.DeviceName(), "COM7");
}

TEST(SerialSettings, BaudValueFollowsTheRateUnlessCustom) {
  TSerialComm comm;
  comm.SetBaudRate(br19200);
  EXPECT_EQ(comm.BaudValue(), 19200u);
  comm.SetBaudValue(12345);
  EXPECT_EQ(comm.BaudValue(), 19200u);
  comm.SetBaudRate(brCustom);
  EXPECT_EQ(comm.BaudValue(), 19200u);
  comm.SetBaudValue(12345);
  EXPECT_EQ(comm.BaudValue(), 12345u);
  EXPECT_EQ(comm.BaudRate(), brCustom);
}

TEST(SerialSettings, OpenDeviceReportsItsRateAsTheTableMemberOrCustom) {
  OpenComm c;
  c.comm.SetBaudRate(br19200);
  c.Open();
  EXPECT_EQ(c.comm.BaudRate(), br19200);
  c.line->state.BaudRate = 31250;  // the device now runs at a rate outside the table
  EXPECT_EQ(c.comm.BaudRate(), brCustom);
  EXPECT_EQ(c.comm.BaudValue(), 31250u);
  c.line->state.BaudRate = 9600;
  EXPECT_EQ(c.comm.BaudRate(), brCustom) << "a custom reading stays custom";
}

TEST(SerialSettings, ReadingsComeFromTheOpenDeviceAndFallBackOnFailure) {
  OpenComm c;
  c.Open();
  c.line->state.ByteSize = 7;
  c.line->state.Parity = 2;
  c.line->state.StopBits = 2;
  c.line->state.XonChar = 'Q';
  c.line->state.EvtChar = '#';
  c.line->state.Flags = kDcbBinary | kDcbRtsHandshake | kDcbOutxCtsFlow | kDcbDtrEnable | kDcbOutX |
                        kDcbNull | kDcbAbortOnError;
  c.line->sizes = {1024, 0};
  c.line->timeouts = {5, 6, 7, 8, 9};
  EXPECT_EQ(c.comm.DataControl().DataBits(), db7);
  EXPECT_EQ(c.comm.DataControl().Parity(), paEven);
  EXPECT_EQ(c.comm.DataControl().StopBits(), sb2);
  EXPECT_EQ(c.comm.EventChars().XonChar(), 'Q');
  EXPECT_EQ(c.comm.EventChars().EventChar(), '#');
  EXPECT_EQ(c.comm.RTSSettings(), (TRTSSettings{fsCTSOut, fsRTSHandshake}));
  EXPECT_EQ(c.comm.DTRSettings(), (TDTRSettings{fsDTREnabled}));
  EXPECT_EQ(c.comm.XOnXOffSettings(), (TXOnXOffSettings{fsOutX}));
  EXPECT_EQ(c.comm.Options(), (TCommOptions{coDiscardNull, coAbortOnError}));
  EXPECT_EQ(c.comm.Buffers().InputSize(), 1024);
  EXPECT_EQ(c.comm.Buffers().OutputSize(), 2048) << "0 from the device means the stored size";
  EXPECT_EQ(c.comm.Timeouts().WriteConstant(), 9u);

  c.line->fail_get_state = true;
  c.line->fail_get_timeouts = true;
  EXPECT_EQ(c.comm.DataControl().DataBits(), db8);
  EXPECT_EQ(c.comm.EventChars().XonChar(), 17);
  EXPECT_EQ(c.comm.Timeouts().WriteConstant(), 1u);
}

TEST(SerialSettings, QueueSizesAreLimitedAndRaised) {
  TSerialComm comm;
  comm.Buffers().SetInputSize(50);
  EXPECT_EQ(comm.Buffers().InputSize(), 128);
  comm.Buffers().SetInputSize(65000);
  EXPECT_EQ(comm.Buffers().InputSize(), MaxQueueSize());
  comm.Buffers().SetOutputSize(250);
  EXPECT_EQ(comm.Buffers().OutputSize(), 250);
}

TEST(SerialSettings, FlowPresetsSetTheLineControlSets) {
  TSerialComm comm;
  comm.SetFlowControl(fcRtsCts);
  EXPECT_EQ(comm.RTSSettings(), (TRTSSettings{fsCTSOut, fsRTSHandshake}));
  EXPECT_EQ(comm.DTRSettings(), (TDTRSettings{fsDTREnabled}));
  EXPECT_TRUE(comm.XOnXOffSettings().Empty());
  comm.SetFlowControl(fcSoftware);
  EXPECT_EQ(comm.XOnXOffSettings(), (TXOnXOffSettings{fsInX, fsOutX}));
  comm.SetFlowControl(fcNone);
  EXPECT_TRUE(comm.RTSSettings().Empty());
  EXPECT_TRUE(comm.DTRSettings().Empty());
  EXPECT_TRUE(comm.XOnXOffSettings().Empty());

  comm.SetOptions({coLeaveDTROpen});
  EXPECT_EQ(comm.DTRSettings(), (TDTRSettings{fsDTREnabled}));
  comm.SetFlowControl(fcDtrDsr);
  comm.SetFlowControl(fcNone);
  EXPECT_EQ(comm.DTRSettings(), (TDTRSettings{fsDTREnabled}));
}

TEST(SerialSettings, LineControlWritesAreIgnoredUnlessCustomFlow) {
  TSerialComm comm;
  comm.SetDTRSettings({fsDTREnabled});
  comm.SetRTSSettings({fsRTSEnabled});
  comm.SetXOnXOffSettings({fsInX});
  EXPECT_TRUE(comm.DTRSettings().Empty());
  EXPECT_TRUE(comm.RTSSettings().Empty());
  EXPECT_TRUE(comm.XOnXOffSettings().Empty());

  comm.SetFlowControl(fcCustom);
  comm.SetRTSSettings({fsRTSEnabled});
  EXPECT_EQ(comm.RTSSettings(), (TRTSSettings{fsRTSEnabled}));
}

TEST(SerialSettings, DtrEnableAndHandshakeExcludeEachOther) {
  TSerialComm comm;
  comm.SetFlowControl(fcCustom);
  comm.SetDTRSettings({fsDTREnabled});
  comm.SetDTRSettings({fsDTREnabled, fsDTRHandshake});
  EXPECT_EQ(comm.DTRSettings(), (TDTRSettings{fsDTRHandshake}));
  comm.SetDTRSettings({fsDTREnabled, fsDTRHandshake});
  EXPECT_EQ(comm.DTRSettings(), (TDTRSettings{fsDTREnabled}));

  comm.SetOptions({coLeaveDTROpen});  // runs the custom preset while closed
  comm.SetDTRSettings({fsDTRHandshake, fsDSROut});
  EXPECT_EQ(comm.DTRSettings(), (TDTRSettings{fsDTREnabled, fsDSROut}))
      << "leaving DTR open turns a handshake request into enable";
}

TEST(SerialSettings, LeaveDtrOpenCannotChangeWhileOpen) {
  OpenComm c;
  c.comm.SetOptions({coLeaveDTROpen, coDiscardNull});
  c.Open();
  c.comm.SetOptions({coDiscardNull, coErrorChar});
  EXPECT_TRUE(c.comm.Options().Contains(coLeaveDTROpen));
  EXPECT_TRUE(c.comm.Options().Contains(coErrorChar));
  ASSERT_EQ(c.line->states_set.size(), 1u);
  EXPECT_EQ(c.line->states_set[0].Flags & (kDcbErrorChar | kDcbDtrEnable),
            kDcbErrorChar | kDcbDtrEnable);
}

TEST(SerialSettings, ChangesWhileOpenAreAppliedAtOnceAndEqualWritesAreNot) {
  OpenComm c;
  c.Open();
  c.comm.DataControl().SetParity(paOdd);
  c.comm.EventChars().SetEventChar('\r');
  c.comm.SetBaudRate(br57600);
  c.comm.SetFlowControl(fcRtsCts);
  c.comm.DataControl().SetParity(paOdd);  // unchanged: nothing sent
  c.comm.SetBaudRate(br57600);
  EXPECT_EQ(c.line->states_set.size(), 4u);
  EXPECT_EQ(c.line->state.Parity, 1);
  EXPECT_EQ(c.line->state.EvtChar, '\r');
  EXPECT_EQ(c.line->state.BaudRate, 57600u);
  EXPECT_EQ(c.line->state.Flags & (kDcbOutxCtsFlow | kDcbRtsHandshake),
            kDcbOutxCtsFlow | kDcbRtsHandshake);

  c.comm.Timeouts().SetReadConstant(20);
  c.comm.Timeouts().SetReadConstant(20);
  EXPECT_EQ(c.line->timeouts_set.size(), 1u);

  c.line->Arrive("stale");
  c.comm.Buffers().SetInputSize(512);
  EXPECT_EQ(c.line->purges, (std::vector<uint32_t>{0xF}));
  EXPECT_EQ(c.line->queue_setups.back(), (std::pair<uint32_t, uint32_t>{512, 2048}));
  EXPECT_EQ(c.line->Queued(), 0u) << "a buffer change empties the receive queue";
  c.comm.Buffers().SetInputTimeout(900);
  EXPECT_EQ(c.line->purges.size(), 1u) << "the timeouts of Buffers are only stored";
}

TEST(SerialSettings, RefusedChangeWhileOpenKeepsTheValueAndRaises) {
  OpenComm c;
  c.Open();
  c.line->fail_set_state = true;
  try {
    c.comm.DataControl().SetStopBits(sb2);
    FAIL();
  } catch (const EDeviceError& e) {
    EXPECT_EQ(e.ErrorCode, 3);
  }
  EXPECT_TRUE(c.comm.Opened());
  c.line->fail_get_state = true;
  EXPECT_EQ(c.comm.DataControl().StopBits(), sb2);
}

TEST(SerialSettings, WholeSettingsObjectsCopyAndRefuseOtherClasses) {
  TSerialComm source;
  source.Buffers().SetInputSize(300);
  source.Buffers().SetOutputTimeout(777);
  source.DataControl().SetParity(paMark);
  source.Timeouts().SetWriteConstant(42);

  OpenComm c;
  c.Open();
  c.comm.SetBuffers(source.Buffers());
  c.comm.SetDataControl(source.DataControl());
  c.comm.SetTimeouts(source.Timeouts());
  c.comm.SetTimeouts(c.comm.Timeouts());  // itself: nothing happens
  EXPECT_EQ(c.line->queue_setups.back().first, 300u);
  EXPECT_EQ(c.comm.Buffers().OutputTimeout(), 777);
  EXPECT_EQ(c.line->state.Parity, 3);
  EXPECT_EQ(c.line->timeouts_set.size(), 1u);
  EXPECT_EQ(c.line->timeouts.WriteTotalTimeoutConstant, 42u);

  try {
    c.comm.SetBuffers(source.DataControl());
    FAIL();
  } catch (const EAssignError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TCommDataControl to a TCommBuffers");
  }
}

TEST(SerialSettings, RestoringACustomFlowTakesOnlyTheSetsWrittenAfterIt) {
  TSerialCommValues stored = Comm1Values();
  stored.FlowControl = fcCustom;
  stored.RTSSettings = {fsRTSEnabled};
  stored.DTRSettings = {fsDSROut};
  stored.XOnXOffSettings = {fsOutX};
  stored.Options = {coDiscardNull};
  TSerialComm comm;
  RestorePublishedValues(comm, stored);
  EXPECT_EQ(comm.FlowControl(), fcCustom);
  EXPECT_TRUE(comm.RTSSettings().Empty());
  EXPECT_EQ(comm.DTRSettings(), (TDTRSettings{fsDTREnabled}));
  EXPECT_EQ(comm.XOnXOffSettings(), (TXOnXOffSettings{fsOutX}));
}

TEST(SerialSettings, RestoringTheWindowValuesNeverOpensTheDevice) {
  OpenComm c;
  RestorePublishedValues(c.comm, Comm1Values());
  EXPECT_EQ(c.line->opens, 0);
  EXPECT_EQ(c.comm.DTRSettings(), (TDTRSettings{fsDTREnabled}));
  EXPECT_EQ(c.comm.DeviceName(), "COM1");
  EXPECT_EQ(c.comm.Buffers().InputSize(), 250);
}

struct TestClient : TCommClient {
  TCommLocks locks;
  uint8_t mode = 0;
  TCustomComm* linked = nullptr;
  std::vector<TDeviceEvents> seen;
  TCommLocks LockState() const override { return locks; }
  uint8_t HookMode() const override { return mode; }
  void EventHook(TDeviceEvents& events) override {
    seen.push_back(events);
    events.Exclude(deOutEmpty);
  }
  void LinkTo(TCustomComm* comm) override {
    if (linked) linked->DetachClient(this);
    linked = comm;
    if (comm) comm->AttachClient(this);
  }
};

TEST(SerialSettings, ClientsShareTheLocksAndLeaveWithTheComponent) {
  TestClient client;
  {
    OpenComm c;
    client.LinkTo(&c.comm);
    c.Open();
    EXPECT_TRUE(c.comm.LockState().Empty());
    client.locks = {lkSend};
    EXPECT_EQ(c.comm.LockState(), (TCommLocks{lkSend}));
    uint8_t byte = 'x';
    try {
      c.comm.SendData(&byte, 1, 10);
      FAIL();
    } catch (const EDeviceError& e) {
      EXPECT_EQ(e.ErrorCode, 4);
    }
    client.mode = 1;  // sees words first and may change them
    int handled = 0;
    c.comm.OnCommEvent = [&](TCustomComm&, TDeviceEvents) { ++handled; };
    c.comm.DispatchEvents({deOutEmpty});
    EXPECT_EQ(client.seen.size(), 1u);
    EXPECT_EQ(handled, 0) << "the client took deOutEmpty out of the word";
  }
  EXPECT_EQ(client.linked, nullptr);
}

}  // namespace
