#pragma once
// The published values of a serial component as the window stores them, and
// their restore into a component in the order the properties are published.

#include <cstdint>
#include <string>

#include "serial/serial_comm.h"

struct TSerialCommValues {
  TBaudRate BaudRate = br9600;
  uint32_t BaudValue = 9600;
  uint32_t BuffersInputSize = 2048;
  uint32_t BuffersOutputSize = 2048;
  uint16_t BuffersInputTimeout = 500;
  uint16_t BuffersOutputTimeout = 500;
  TRTSSettings RTSSettings;
  TDataBits DataBits = db8;
  TParity Parity = paNone;
  TStopBits StopBits = sb1;
  std::string DeviceName = kDefaultPortName;
  TDTRSettings DTRSettings;
  char XonChar = 17;
  char XoffChar = 19;
  char EofChar = 0;
  char ErrorChar = 0;
  char EventChar = 10;
  TDeviceEvents MonitorEvents{deChar, deFlag, deOutEmpty};
  TFlowControl FlowControl = fcNone;
  TCommOptions Options;
  bool Synchronize = true;
  uint32_t ReadInterval = 1;
  uint32_t ReadMultiplier = 0;
  uint32_t ReadConstant = 1;
  uint32_t WriteMultiplier = 0;
  uint32_t WriteConstant = 1;
  TXOnXOffSettings XOnXOffSettings;
};

// Writes every value through the component's own property writes, in the
// published order, so the writing rules apply exactly as they do when the
// window is created (line-control sets written before FlowControl may be
// ignored, Options may run the flow preset). It never opens the device.
void RestorePublishedValues(TCustomComm& comm, const TSerialCommValues& values);
