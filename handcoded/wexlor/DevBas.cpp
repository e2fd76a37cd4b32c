// Wexlor multifunction input board: a 12-bit A/D converter with 16 inputs in two banks of eight,
// three 16-bit counters of an 8254 run as free-running down-counters and read as pulse counts, and
// an 8255 (ports A, B and C, C in two halves). No analog outputs. Thirteen ports from the base:
//
//   +0       write 0: starts a conversion; read: the result's bits 4-11
//   +1       read: upper four bits are the result's bits 0-3
//   +2       read: bit 0 set when the conversion is done
//   +4..+6   8255 ports A, B, C                  +7  8255 control word
//   +8..+10  counters 0..2 (count loading; latched count, low then high byte)
//   +11      counter control (mode words, latch commands)
//   +12      analog input channel select: 0x10 + c bank one, 0x20 + c bank two
//
// The configuration build touches no port beyond the tables: its pass does nothing, its run start
// programs no counter, and its SvrSetProperty neither writes the control word nor waits.
#include "framework/sharedproperties.h"

namespace {

using namespace varn;

struct WexlorSettings {
  int32_t baseAddress;
  int32_t rangeCode;  // halves the ±5 V span per step
  int32_t gainCode;   // divides by 2^gainCode
  int32_t repeatCount;
  int32_t reduceMode;
  int32_t portADir;  // 8255 groups: 0 input, otherwise output
  int32_t portBDir;
  int32_t portCLowDir;
  int32_t portCHighDir;
};
using S = WexlorSettings;

// Channel indexes.
constexpr int kFirstCounter = 0;
constexpr int kFirstPortA = 3;  // 24 digital channels: PA0-7, PB0-7, PC0-3, PC4-7
constexpr int kFirstAd = 27, kAdCount = 16;

struct WexlorBoard : HandcodedBoard<WexlorSettings> {
  static constexpr Property<S> kProperties[] = {
      BaseAddressProperty<S>(VT("200"), &S::baseAddress),
      InputRangeProperty<S>(&S::rangeCode),
      GainProperty<S>(&S::gainCode),
      // Read as hexadecimal: the shown "10" comes back as sixteen.
      RepeatCountProperty<S>(VT("10"), &S::repeatCount, NumberFormat::Hex),
      ReduceModeProperty<S>(&S::reduceMode),
      PortDirectionProperty<S>(kPortA, &S::portADir),
      PortDirectionProperty<S>(kPortB, &S::portBDir),
      PortDirectionProperty<S>(kPortCLow, &S::portCLowDir),
      PortDirectionProperty<S>(kPortCHigh, &S::portCHighDir),
  };
  static constexpr int kPortAProperty = 5;  // then PB, PC0-3, PC4-7

  static constexpr S kDefaults = {0x200, 0, 0, 10, 0, 0, 0, 0, 0};
  // 36 stored bytes.
  static constexpr int32_t S::*kStoredOrder[] = {
      &S::reduceMode, &S::baseAddress,  &S::gainCode,    &S::rangeCode,   &S::portADir,
      &S::portBDir,   &S::portCHighDir, &S::portCLowDir, &S::repeatCount,
  };

  static constexpr const TChar* kHelpTopic = VT("Wexlor");
  static constexpr uint32_t kHelpContext = 0x8F2CD821;
  static constexpr DeviceInfo kDeviceInfo = {VT("Wexlor"), {VT("WexlorU.drv"), VT("WexlorE.drv")}};

  void Channels(const S& s, ChannelTable& table) {
    table.AddGroup(3, VT("脉冲计数%d"), 0, NumericIn);
    AddPpi8255Channels(table, Ppi(s));
    table.AddGroup(kAdCount, VT("AD%d输入"), 1, NumericIn);  // numbered from 1
  }

  // The 8255 control word from the port properties of this call, then 20 ms for the chip.
  void ApplySet(DeviceRecord* device, S& s, const PropertyMatches& matches) {
    if constexpr (!kConfigurationBuild) {
      PortIO(device).OutByte(Ppi(s).ControlPort(),
                             Ppi8255Channels::ControlWordOf(matches, kPortAProperty, kDirectionInputCode));
      Sleep(20);
    }
  }

  void RunInit(DeviceRecord* device, S& s) {
    if constexpr (!kConfigurationBuild)
      pit8254::StartRateGenerators(PortIO(device), s.baseAddress + 11, s.baseAddress + 8);
  }

  // Counters, then digital inputs, then analog inputs.
  void Collect(DeviceRecord* device, S& s, const CArray<int>& enabled, CArray<double>& values) {
    if constexpr (!kConfigurationBuild) {
      const PortIO io(device);
      const int base = s.baseAddress;
      pit8254::ReadCounterChannels(io, base + 11, base + 8, kFirstCounter, enabled, values);
      Ppi(s).ReadInputs(io, enabled, values);

      const HalvingRange range(s.rangeCode, s.gainCode);
      for (int c = 0; c < kAdCount; ++c) {
        if (!IsEnabled(enabled, kFirstAd + c)) continue;
        const double count = ConvertAndReduce(s.repeatCount, s.reduceMode, [&] {
          io.OutByte(base + 12, static_cast<uint8_t>(c < 8 ? 0x10 + c : 0x20 + (c - 8)));
          io.OutByte(base + 0, 0);
          // Up to five polls a millisecond apart; after the fifth the result is taken regardless.
          for (int poll = 0; poll < 5; ++poll) {
            Sleep(1);
            if (io.InByte(base + 2) & 1) break;
          }
          const uint32_t low = io.InByte(base + 1);
          const uint32_t high = io.InByte(base + 0);
          return high * 16 + (low >> 4);
        });
        StoreValue(values, kFirstAd + c, range.Volts(count));
      }
    }
  }

  // After the command's value is in the host's array: every output group rebuilt and rewritten.
  void Write(DeviceRecord* device, S& s, CArray<double>& values, int index, double) {
    if (Ppi(s).HasChannel(index)) Ppi(s).WriteOutputs(PortIO(device), values);
  }

  // The 8255 at +4..+7, its lines channels 3..26.
  static Ppi8255Channels Ppi(const S& s) {
    return {s.baseAddress + 4, kFirstPortA, s.portADir, s.portBDir, s.portCLowDir, s.portCHighDir};
  }
};

}  // namespace

VARN_HANDCODED_DRIVER(WexlorBoard)
