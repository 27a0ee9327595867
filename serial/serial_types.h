#pragma once
// Enumerations and sets of the serial port component. Enumerations are 32-bit
// ordinals; in every set bit n stands for the member with ordinal n.

#include <cstdint>
#include <initializer_list>

// The port that the component, the window's port box and the command-line
// tool start from when nothing else names one.
inline constexpr char kDefaultPortName[] = "COM2";

enum TBaudRate : int32_t {
  br110,
  br300,
  br600,
  br1200,
  br2400,
  br4800,
  br9600,
  br14400,
  br19200,
  br38400,
  br56000,
  br57600,
  br115200,
  br128000,
  br256000,
  brCustom
};
enum TFlowControl : int32_t { fcNone, fcRtsCts, fcDtrDsr, fcSoftware, fcCustom };
enum TDataBits : int32_t { db4, db5, db6, db7, db8 };
enum TParity : int32_t { paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits : int32_t { sb1, sb1p5, sb2 };
enum TCommOption : int32_t {
  coAbortOnError,
  coDiscardNull,
  coDSRSensitivity,
  coErrorChar,
  coParityCheck,
  coTXContinueOnXOff,
  coLeaveDTROpen
};
enum TRTSSetting : int32_t { fsCTSOut, fsRTSEnabled, fsRTSHandshake };
enum TDTRSetting : int32_t { fsDSROut, fsDTREnabled, fsDTRHandshake };
enum TXOnXOffSetting : int32_t { fsInX, fsOutX };
// Bit n is bit n of the system's communication event mask (EV_RXCHAR ...).
enum TDeviceEvent : int32_t {
  deChar,
  deFlag,
  deOutEmpty,
  deCTS,
  deDSR,
  deRLSD,
  deBreak,
  deError,
  deRing,
  dePrintError,
  deIn80Full,
  deProv1,
  deProv2
};
enum TCommLock : int32_t { lkSend, lkRead };

// The rates of br110 .. br256000; brCustom has no entry.
inline constexpr uint32_t BaudRateTable[15] = {110,   300,   600,    1200,   2400,
                                               4800,  9600,  14400,  19200,  38400,
                                               56000, 57600, 115200, 128000, 256000};

template <typename E, typename Bits>
class EnumSet {
 public:
  constexpr EnumSet() = default;
  constexpr EnumSet(std::initializer_list<E> members) {
    for (E m : members) bits_ = static_cast<Bits>(bits_ | Bit(m));
  }
  static constexpr EnumSet FromBits(Bits bits) {
    EnumSet s;
    s.bits_ = bits;
    return s;
  }

  constexpr Bits bits() const { return bits_; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr bool Contains(E m) const { return (bits_ & Bit(m)) != 0; }
  constexpr EnumSet& Include(E m) {
    bits_ = static_cast<Bits>(bits_ | Bit(m));
    return *this;
  }
  constexpr EnumSet& Exclude(E m) {
    bits_ = static_cast<Bits>(bits_ & ~Bit(m));
    return *this;
  }
  constexpr EnumSet operator|(EnumSet o) const {
    return FromBits(static_cast<Bits>(bits_ | o.bits_));
  }
  constexpr EnumSet operator&(EnumSet o) const {
    return FromBits(static_cast<Bits>(bits_ & o.bits_));
  }
  constexpr bool operator==(const EnumSet&) const = default;

 private:
  static constexpr Bits Bit(E m) { return static_cast<Bits>(Bits{1} << static_cast<int>(m)); }
  Bits bits_ = 0;
};

using TCommOptions = EnumSet<TCommOption, uint8_t>;
using TRTSSettings = EnumSet<TRTSSetting, uint8_t>;
using TDTRSettings = EnumSet<TDTRSetting, uint8_t>;
using TXOnXOffSettings = EnumSet<TXOnXOffSetting, uint8_t>;
using TDeviceEvents = EnumSet<TDeviceEvent, uint16_t>;
using TCommLocks = EnumSet<TCommLock, uint8_t>;
