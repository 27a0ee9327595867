#pragma once
// The serial port component: one serial device with its line settings, timed
// transfers and the dispatch of line events.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "serial/comm_device.h"
#include "serial/comm_settings.h"
#include "serial/event_thread.h"
#include "serial/serial_error.h"
#include "serial/serial_types.h"

class TCustomComm;

// Something attached to a component that shares its locks and sees its event
// words. Nothing in the configurator attaches one; the contract is kept so
// that the component behaves the same with and without.
class TCommClient {
 public:
  virtual ~TCommClient() = default;
  virtual TCommLocks LockState() const = 0;
  // Bit 0: see each word before the component; bit 1: after it.
  virtual uint8_t HookMode() const = 0;
  virtual void EventHook(TDeviceEvents& events) = 0;
  // Links the client to another component or, with null, to none; it must add
  // itself to / remove itself from the components' Clients lists.
  virtual void LinkTo(TCustomComm* comm) = 0;
};

class TCustomComm {
 public:
  using DeviceFactory = std::function<std::unique_ptr<CommDevice>(const std::string& name)>;
  // A factory that also says why a device could not be opened.
  using ReportingDeviceFactory =
      std::function<std::unique_ptr<CommDevice>(const std::string& name, OpenFailure& failure)>;
  using CommEventHandler = std::function<void(TCustomComm& sender, TDeviceEvents events)>;
  using DataEventHandler = std::function<void(TCustomComm& sender, uint32_t received)>;
  using NotifyHandler = std::function<void(TCustomComm& sender)>;

  TCustomComm();
  virtual ~TCustomComm();
  TCustomComm(const TCustomComm&) = delete;
  TCustomComm& operator=(const TCustomComm&) = delete;

  bool Opened() const { return device_ != nullptr; }
  // A number that tells this opening of the device from every other opening
  // of any component in the process; 0 while closed. What a user of the line
  // learnt about it (an answer still on its way) holds only while it stays.
  uint64_t OpenSerial() const { return Opened() ? open_serial_ : 0; }
  virtual TCommLocks LockState() const;
  virtual bool OpenDevice();
  virtual void CloseDevice();
  // Why the last OpenDevice could not open the device; kind kNone after one
  // that did. The error it raised keeps its own fixed message.
  const OpenFailure& LastOpenFailure() const { return last_open_failure_; }

  // Published properties. A read comes from the device while it is open; a
  // write re-applies its group to an open device at once.
  TBaudRate BaudRate();
  void SetBaudRate(TBaudRate value);
  uint32_t BaudValue();
  void SetBaudValue(uint32_t value);
  TCommBuffers& Buffers() { return buffers_; }
  void SetBuffers(const TCommSettings& value) { buffers_.Assign(value); }
  TRTSSettings RTSSettings();
  void SetRTSSettings(TRTSSettings value);
  TCommDataControl& DataControl() { return data_control_; }
  void SetDataControl(const TCommSettings& value) { data_control_.Assign(value); }
  const std::string& DeviceName() const { return device_name_; }
  void SetDeviceName(const std::string& value);
  TDTRSettings DTRSettings();
  void SetDTRSettings(TDTRSettings value);
  TCommEventChars& EventChars() { return event_chars_; }
  void SetEventChars(const TCommSettings& value) { event_chars_.Assign(value); }
  TDeviceEvents MonitorEvents() const { return monitor_events_; }
  void SetMonitorEvents(TDeviceEvents value) { monitor_events_ = value; }
  TFlowControl FlowControl() const { return flow_control_; }
  void SetFlowControl(TFlowControl value);
  TCommOptions Options();
  void SetOptions(TCommOptions value);
  bool Synchronize() const { return synchronize_.load(); }
  void SetSynchronize(bool value) { synchronize_ = value; }
  TCommTimeoutsEx& Timeouts() { return timeouts_; }
  void SetTimeouts(const TCommSettings& value) { timeouts_.Assign(value); }
  TXOnXOffSettings XOnXOffSettings();
  void SetXOnXOffSettings(TXOnXOffSettings value);

  CommEventHandler OnCommEvent;
  DataEventHandler OnData;
  NotifyHandler OnRead;
  NotifyHandler OnSend;

  // Transfers (serial_transfer.cpp).
  uint32_t QueuedBytes(int32_t kind);
  uint32_t SendData(const void* buffer, uint32_t count, uint32_t timeoutMs);
  uint32_t SendData(const void* buffer, uint32_t count);
  bool SendString(std::string_view text);
  uint32_t ReadData(void* buffer, uint32_t count, uint32_t timeoutMs);
  void HoldEvents(bool hold);
  int32_t HoldCount() const { return hold_count_.load(); }

  // Event dispatch: clients before, the component, clients after.
  void DispatchEvents(TDeviceEvents events);
  virtual void DoCommEvent(TDeviceEvents events);
  virtual void DoData(uint32_t received);

  const std::vector<TCommClient*>& Clients() const { return clients_; }
  void AttachClient(TCommClient* client);
  void DetachClient(TCommClient* client);

  // Group re-application, also used by the settings objects.
  bool ApplyLineSettings();
  bool ApplyBuffers();
  bool ApplyTimeouts();

  // Where devices come from (the platform's own by default; tests give a fake).
  void SetDeviceFactory(ReportingDeviceFactory factory) { device_factory_ = std::move(factory); }
  void SetDeviceFactory(DeviceFactory factory);
  // Called every 40 to 60 ms while a transfer waits for the line, so that a
  // window can keep an animation moving while the exchange blocks its thread.
  void SetIdleHook(std::function<void()> hook) { idle_hook_ = std::move(hook); }

  // The open device, for the settings objects' readings; null while closed.
  CommDevice* Device() const { return device_.get(); }

 protected:
  bool QueryDeviceState(Dcb& dcb);
  void DecodeDeviceFlags(uint32_t flags);
  void ApplyFlowPreset();
  uint32_t WriteChunk(const uint8_t* data, uint32_t count);
  uint32_t ReadChunk(uint8_t* data, uint32_t count);

 private:
  Dcb BuildDcb() const;
  void StartEventThread();
  void StopEventThread();
  // Sleeps until the line is ready or the budget that began at start ends,
  // never longer than the idle hook's period; false when the budget is spent.
  // A broken input line raises code 10, or with keepWhatArrived (the read
  // already holds bytes) gives false, leaving the error to the next read.
  bool WaitForLine(uint32_t start, uint32_t timeoutMs, bool forInput, bool keepWhatArrived);
  void CallIdleHook(bool force);
  void RunUnderLock(TCommLock lock, const NotifyHandler& handler);

  std::unique_ptr<CommDevice> device_;
  ReportingDeviceFactory device_factory_;
  OpenFailure last_open_failure_;
  uint64_t open_serial_ = 0;
  std::function<void()> idle_hook_;
  uint32_t last_idle_ = TickMs();  // the idle hook's last call, kept across transfers

  TBaudRate baud_rate_ = br9600;
  uint32_t baud_value_ = 9600;
  TCommBuffers buffers_{this};
  TRTSSettings rts_settings_;
  TCommDataControl data_control_{this};
  std::string device_name_ = kDefaultPortName;
  TDTRSettings dtr_settings_;
  TCommEventChars event_chars_{this};
  TDeviceEvents monitor_events_{deChar, deFlag, deOutEmpty};
  TFlowControl flow_control_ = fcNone;
  TCommOptions options_;
  // Read by the event thread.
  std::atomic<bool> synchronize_{true};
  TCommTimeoutsEx timeouts_{this};
  TXOnXOffSettings xonxoff_settings_;

  TCommLocks own_locks_;
  // Read by the dispatch, which runs on the event thread without Synchronize.
  std::atomic<int32_t> hold_count_{0};
  std::atomic<bool> destroying_{false};
  std::unique_ptr<TCommEventThread> EventThread;
  std::vector<TCommClient*> clients_;
};

// The component as the window holds it: it publishes what TCustomComm has.
class TSerialComm : public TCustomComm {};
