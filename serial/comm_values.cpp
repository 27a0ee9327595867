#include "serial/comm_values.h"

void RestorePublishedValues(TCustomComm& comm, const TSerialCommValues& v) {
  comm.SetBaudRate(v.BaudRate);
  comm.SetBaudValue(v.BaudValue);
  TCommBuffers& buffers = comm.Buffers();
  buffers.SetInputSize(v.BuffersInputSize);
  buffers.SetOutputSize(v.BuffersOutputSize);
  buffers.SetInputTimeout(v.BuffersInputTimeout);
  buffers.SetOutputTimeout(v.BuffersOutputTimeout);
  comm.SetRTSSettings(v.RTSSettings);
  TCommDataControl& data = comm.DataControl();
  data.SetDataBits(v.DataBits);
  data.SetParity(v.Parity);
  data.SetStopBits(v.StopBits);
  comm.SetDeviceName(v.DeviceName);
  comm.SetDTRSettings(v.DTRSettings);
  TCommEventChars& chars = comm.EventChars();
  chars.SetXonChar(v.XonChar);
  chars.SetXoffChar(v.XoffChar);
  chars.SetEofChar(v.EofChar);
  chars.SetErrorChar(v.ErrorChar);
  chars.SetEventChar(v.EventChar);
  comm.SetMonitorEvents(v.MonitorEvents);
  comm.SetFlowControl(v.FlowControl);
  comm.SetOptions(v.Options);
  comm.SetSynchronize(v.Synchronize);
  TCommTimeoutsEx& timeouts = comm.Timeouts();
  timeouts.SetReadInterval(v.ReadInterval);
  timeouts.SetReadMultiplier(v.ReadMultiplier);
  timeouts.SetReadConstant(v.ReadConstant);
  timeouts.SetWriteMultiplier(v.WriteMultiplier);
  timeouts.SetWriteConstant(v.WriteConstant);
  comm.SetXOnXOffSettings(v.XOnXOffSettings);
}
