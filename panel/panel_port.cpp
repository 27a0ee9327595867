#include "panel/panel_port.h"

#include "support/log.h"
#include "support/text_codec.h"

namespace {

// The panel's line speed, the one table rate it speaks.
constexpr TBaudRate kPanelRate = br19200;
constexpr uint32_t kPanelBaud = 19200;

}  // namespace

TSerialCommValues Comm1Values() {
  TSerialCommValues v;
  v.BaudRate = kPanelRate;
  v.BaudValue = kPanelBaud;
  v.BuffersInputSize = 250;
  v.BuffersOutputSize = 250;
  v.BuffersInputTimeout = 500;
  v.BuffersOutputTimeout = 500;
  v.DataBits = db8;
  v.Parity = paNone;
  v.StopBits = sb1;
  v.DeviceName = "COM1";
  v.FlowControl = fcNone;
  v.DTRSettings = {fsDTREnabled};
  v.RTSSettings = {};
  v.XOnXOffSettings = {};
  v.XonChar = 0x11;
  v.XoffChar = 0x13;
  v.EofChar = 0;
  v.ErrorChar = 0;
  v.EventChar = 0x0A;
  v.MonitorEvents = {deChar, deFlag, deOutEmpty};
  v.Options = {coDiscardNull, coErrorChar, coParityCheck, coTXContinueOnXOff, coLeaveDTROpen};
  v.Synchronize = true;
  v.ReadInterval = 1;
  v.ReadMultiplier = 0;
  v.ReadConstant = 1;
  v.WriteMultiplier = 0;
  v.WriteConstant = 1;
  return v;
}

void ReopenForPanel(TCustomComm& comm, const std::string& deviceName) {
  try {
    if (comm.Opened()) comm.CloseDevice();
    comm.SetBaudRate(kPanelRate);
    comm.SetBaudValue(kPanelBaud);
    comm.DataControl().SetParity(paNone);
    comm.SetDeviceName(deviceName);
    comm.SetFlowControl(fcNone);
    comm.OpenDevice();
    // The device name is the window's UTF-8; the log holds code page 1251.
    WriteLog(Utf8ToCp1251("Открыли устройство ") + Utf8ToCp1251(comm.DeviceName()) +
                 Utf8ToCp1251(" на скорости ") + std::to_string(comm.BaudValue()),
             true, EmptyData);
  } catch (...) {
    // A port that cannot be opened shows itself by the probe that follows.
  }
}
