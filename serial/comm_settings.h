#pragma once
// The four settings objects a serial component owns. Each keeps its values,
// reads them from the owner's device while it is open, and asks the owner to
// re-apply its group when a value changes.

#include <cstdint>

#include "serial/serial_types.h"

class TCustomComm;

// Common base of the settings objects: what a whole-object assignment needs.
class TCommSettings {
 public:
  explicit TCommSettings(TCustomComm* comm) : Comm(comm) {}
  virtual ~TCommSettings() = default;
  TCommSettings(const TCommSettings&) = delete;
  TCommSettings& operator=(const TCommSettings&) = delete;

  virtual const char* ClassName() const = 0;
  // Copies another object of the same class, as its own readings give it, and
  // re-applies the group once; any other class raises EAssignError.
  void Assign(const TCommSettings& source);

  TCustomComm* const Comm;  // the owning component

 protected:
  virtual void CopyFrom(const TCommSettings& source) = 0;
};

class TCommDataControl : public TCommSettings {
 public:
  using TCommSettings::TCommSettings;
  const char* ClassName() const override { return "TCommDataControl"; }

  TDataBits DataBits() const;
  TParity Parity() const;
  TStopBits StopBits() const;
  void SetDataBits(TDataBits value);
  void SetParity(TParity value);
  void SetStopBits(TStopBits value);

  // Stored values, as ApplyLineSettings hands them to the device.
 private:
  friend class TCustomComm;
  TDataBits stored_data_bits = db8;
  TParity stored_parity = paNone;
  TStopBits stored_stop_bits = sb1;

 protected:
  void CopyFrom(const TCommSettings& source) override;
};

class TCommBuffers : public TCommSettings {
 public:
  using TCommSettings::TCommSettings;
  const char* ClassName() const override { return "TCommBuffers"; }

  uint16_t InputSize() const;
  uint16_t OutputSize() const;
  uint16_t InputTimeout() const { return stored_input_timeout; }
  uint16_t OutputTimeout() const { return stored_output_timeout; }
  // Sizes are limited to MaxQueueSize and raised to at least 128.
  void SetInputSize(uint32_t value);
  void SetOutputSize(uint32_t value);
  void SetInputTimeout(uint16_t value) { stored_input_timeout = value; }
  void SetOutputTimeout(uint16_t value) { stored_output_timeout = value; }

 private:
  friend class TCustomComm;
  uint16_t stored_input_size = 2048;
  uint16_t stored_output_size = 2048;
  uint16_t stored_input_timeout = 500;
  uint16_t stored_output_timeout = 500;

 protected:
  void CopyFrom(const TCommSettings& source) override;

 private:
  void SetSize(uint16_t& stored, uint32_t value);
};

class TCommEventChars : public TCommSettings {
 public:
  using TCommSettings::TCommSettings;
  const char* ClassName() const override { return "TCommEventChars"; }

  char XonChar() const;
  char XoffChar() const;
  char EofChar() const;
  char ErrorChar() const;
  char EventChar() const;
  void SetXonChar(char value) { SetChar(stored_xon, value); }
  void SetXoffChar(char value) { SetChar(stored_xoff, value); }
  void SetEofChar(char value) { SetChar(stored_eof, value); }
  void SetErrorChar(char value) { SetChar(stored_error, value); }
  void SetEventChar(char value) { SetChar(stored_event, value); }

 private:
  friend class TCustomComm;
  char stored_xon = 17;
  char stored_xoff = 19;
  char stored_eof = 0;
  char stored_error = 0;
  char stored_event = 10;

 protected:
  void CopyFrom(const TCommSettings& source) override;

 private:
  void SetChar(char& stored, char value);
};

class TCommTimeoutsEx : public TCommSettings {
 public:
  using TCommSettings::TCommSettings;
  const char* ClassName() const override { return "TCommTimeoutsEx"; }

  uint32_t ReadInterval() const;
  uint32_t ReadMultiplier() const;
  uint32_t ReadConstant() const;
  uint32_t WriteMultiplier() const;
  uint32_t WriteConstant() const;
  void SetReadInterval(uint32_t value) { SetValue(stored_read_interval, value); }
  void SetReadMultiplier(uint32_t value) { SetValue(stored_read_multiplier, value); }
  void SetReadConstant(uint32_t value) { SetValue(stored_read_constant, value); }
  void SetWriteMultiplier(uint32_t value) { SetValue(stored_write_multiplier, value); }
  void SetWriteConstant(uint32_t value) { SetValue(stored_write_constant, value); }

 private:
  friend class TCustomComm;
  uint32_t stored_read_interval = 1;
  uint32_t stored_read_multiplier = 0;
  uint32_t stored_read_constant = 1;
  uint32_t stored_write_multiplier = 0;
  uint32_t stored_write_constant = 1;

 protected:
  void CopyFrom(const TCommSettings& source) override;

 private:
  void SetValue(uint32_t& stored, uint32_t value);
};
