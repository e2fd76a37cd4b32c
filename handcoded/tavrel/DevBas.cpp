// Tavrel multifunction board: a 12-bit A/D converter with 16 single-ended or 8 differential inputs,
// four 12-bit D/A outputs, an 8255 (ports A, B and C, C in two halves) and three 16-bit counters
// read as pulse counts. Sixteen I/O ports from the base address:
//
//   +0       write: A/D channel code; read twice after the write (discarded)
//   +1       write 0: converter control; read: bit 0 set while a conversion is busy
//   +2, +3   read bytes (discarded), then the word at +2: the 12-bit result in its low bits
//   +4       write: D/A channel select 0..3      +6  write word: D/A code
//   +8..+10  8255 ports A, B, C                  +11 8255 control word
//   +12..+14 counters 0..2 (low, then high byte) +15 counter control (latch commands)
#include "framework/sharedproperties.h"

namespace {

using namespace varn;

struct TavrelSettings {
  int32_t baseAddress;
  int32_t inputMode;  // 0 single-ended (16 inputs), otherwise differential (8 inputs)
  int32_t rangeCode;  // 0 ±5 V, 1 ±10 V, otherwise 0 to 10 V
  int32_t gainCode;   // kept and stored; no routine uses it
  int32_t repeatCount;
  int32_t reduceMode;
  int32_t daRangeCode;  // 1: D/A 0 to 5 V, otherwise -5 to 5 V
  int32_t portADir;     // 8255 groups: 0 input, otherwise output
  int32_t portBDir;
  int32_t portCLowDir;
  int32_t portCHighDir;
};
using S = TavrelSettings;

const TChar* const kDaRangeChoices[] = {VT("0 - 0 ～ 5V"), VT("1 - ±5V")};

// Channel indexes.
constexpr int kFirstCounter = 0;
constexpr int kFirstDa = 3, kLastDa = 6;
constexpr int kFirstPortA = 7;  // 24 digital channels: PA0-7, PB0-7, PC0-3, PC4-7
constexpr int kFirstAd = 31;

struct TavrelBoard : HandcodedBoard<TavrelSettings> {
  static constexpr Property<S> kProperties[] = {
      BaseAddressProperty<S>(VT("100"), &S::baseAddress),
      ChoiceProperty<S>(VT("输入类型"), MakeChoices(kWiringChoices), &S::inputMode),
      ChoiceProperty<S>(VT("DA输出范围"), MakeChoices(kDaRangeChoices), &S::daRangeCode),
      InputRangeProperty<S>(&S::rangeCode),
      GainProperty<S>(&S::gainCode),
      RepeatCountProperty<S>(VT("5"), &S::repeatCount, NumberFormat::Decimal),
      ReduceModeProperty<S>(&S::reduceMode),
      PortDirectionProperty<S>(kPortA, &S::portADir),
      PortDirectionProperty<S>(kPortB, &S::portBDir),
      PortDirectionProperty<S>(kPortCLow, &S::portCLowDir),
      PortDirectionProperty<S>(kPortCHigh, &S::portCHighDir),
  };
  static constexpr int kPortAProperty = 7;  // then PB, PC0-3, PC4-7
  static constexpr PropertyLookup kLookup = PropertyLookup::RunningCursor;

  static constexpr S kDefaults = {0x100, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0};
  // 48 stored bytes; daRangeCode is stored twice and the second copy is the one that loads last.
  static constexpr int32_t S::*kStoredOrder[] = {
      &S::reduceMode, &S::baseAddress, &S::gainCode,     &S::rangeCode,   &S::inputMode,   &S::daRangeCode,
      &S::portADir,   &S::portBDir,    &S::portCHighDir, &S::portCLowDir, &S::repeatCount, &S::daRangeCode,
  };

  static constexpr const TChar* kHelpTopic = VT("Tavrel");
  static constexpr uint32_t kHelpContext = 0x8F2D0766;
  static constexpr DeviceInfo kDeviceInfo = {VT("Tavrel"), {VT("TavrelU.drv"), VT("TavrelE.drv")}};

  void Channels(const S& s, ChannelTable& table) {
    table.AddGroup(3, VT("脉冲计数%d"), 0, NumericIn);
    table.AddGroup(4, VT("输出DA%d"), 0, NumericOut);
    AddPpi8255Channels(table, Ppi(s));
    table.AddGroup(AnalogInputCount(s), VT("AD%d输入"), 0, NumericIn);
  }

  // The 8255 control word, from the port properties of this call: an input choice sets the group's
  // bits, an output choice clears them, a property not found or not matched leaves them at 0x80's.
  void ApplySet(DeviceRecord* device, S& s, const PropertyMatches& matches) {
    PortIO(device).OutByte(Ppi(s).ControlPort(),
                           Ppi8255Channels::ControlWordOf(matches, kPortAProperty, kDirectionInputCode));
  }

  // Counters, then digital inputs, then analog inputs.
  void Collect(DeviceRecord* device, S& s, const CArray<int>& enabled, CArray<double>& values) {
    const PortIO io(device);
    const int base = s.baseAddress;
    pit8254::ReadCounterChannels(io, base + 15, base + 12, kFirstCounter, enabled, values);
    Ppi(s).ReadInputs(io, enabled, values);

    const double low = s.rangeCode == 0 ? -5.0 : s.rangeCode == 1 ? -10.0 : 0.0;
    const double high = s.rangeCode == 0 ? 5.0 : 10.0;
    const int codeOffset = s.inputMode == 0 ? 0 : 16;
    io.OutByte(base + 1, 0);
    for (int c = 0; c < AnalogInputCount(s); ++c) {
      if (!IsEnabled(enabled, kFirstAd + c)) continue;
      const double count = ConvertAndReduce(s.repeatCount, s.reduceMode, [&] {
        io.OutByte(base + 1, 0);
        io.OutByte(base + 0, static_cast<uint8_t>(c + codeOffset));
        io.InByte(base + 0);
        io.InByte(base + 0);
        Sleep(10);
        if (io.InByte(base + 1) & 1) Sleep(10);  // still busy: one more wait, the status is not read again
        io.InByte(base + 2);
        io.InByte(base + 3);
        return io.InWord(base + 2) & 0xFFF;
      });
      StoreValue(values, kFirstAd + c, CountToVolts(low, high, count));
    }
  }

  // After the command's value is in the host's array: the digital outputs, then the analog output.
  void Write(DeviceRecord* device, S& s, CArray<double>& values, int index, double) {
    const PortIO io(device);
    const int base = s.baseAddress;
    // Every output group is rebuilt from the host's values and rewritten.
    if (Ppi(s).HasChannel(index)) Ppi(s).WriteOutputs(io, values);
    if (index >= kFirstDa && index <= kLastDa) {
      io.OutByte(base + 4, static_cast<uint8_t>(index - kFirstDa));
      io.OutWord(base + 6, static_cast<uint16_t>(DaCode(values[index], s.daRangeCode == 1 ? 0.0 : -5.0, 5.0)));
    }
  }

  // The 8255 at +8..+11, its lines channels 7..30.
  static Ppi8255Channels Ppi(const S& s) {
    return {s.baseAddress + 8, kFirstPortA, s.portADir, s.portBDir, s.portCLowDir, s.portCHighDir};
  }

  static int AnalogInputCount(const S& s) { return s.inputMode == 0 ? 16 : 8; }
};

}  // namespace

VARN_HANDCODED_DRIVER(TavrelBoard)
