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
#include "framework/chips.h"
#include "framework/handcoded.h"

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

const TChar* const kInputModeChoices[] = {VT("0 - 单端"), VT("1 - 双端")};
const TChar* const kDaRangeChoices[] = {VT("0 - 0 ～ 5V"), VT("1 - ±5V")};
const TChar* const kRangeChoices[] = {VT("0 - ±5V"), VT("1 - ±10V"), VT("2 - 0 ～ 10V")};
const TChar* const kGainChoices[] = {VT("0 - 1"), VT("1 - 2"), VT("2 - 4"), VT("3 - 8"), VT("4 - 16")};
const TChar* const kReduceChoices[] = {VT("0 - 平均值处理"), VT("1 - 最大最小值处理")};
const TChar* const kDirectionChoices[] = {VT("0 - 数字量输入"), VT("1 - 数字量输出")};
constexpr int kInputChoice = 0;

// Channel indexes.
constexpr int kFirstCounter = 0;
constexpr int kFirstDa = 3, kLastDa = 6;
constexpr int kFirstPortA = 7, kFirstPortB = 15, kFirstPortCLow = 23, kFirstPortCHigh = 27, kLastDigital = 30;
constexpr int kFirstAd = 31;

struct TavrelBoard : HandcodedBoard<TavrelSettings> {
  static constexpr Property<S> kProperties[] = {
      TextProperty<S>(VT("设备IO基地址(16进制)"), VT("100"), &S::baseAddress, NumberFormat::Hex),
      ChoiceProperty<S>(VT("输入类型"), MakeChoices(kInputModeChoices), &S::inputMode),
      ChoiceProperty<S>(VT("DA输出范围"), MakeChoices(kDaRangeChoices), &S::daRangeCode),
      ChoiceProperty<S>(VT("输入量程"), MakeChoices(kRangeChoices), &S::rangeCode),
      ChoiceProperty<S>(VT("输入放大增益"), MakeChoices(kGainChoices), &S::gainCode),
      TextProperty<S>(VT("重复采集次数"), VT("5"), &S::repeatCount, NumberFormat::Decimal),
      ChoiceProperty<S>(VT("AD前处理方式"), MakeChoices(kReduceChoices), &S::reduceMode),
      ChoiceProperty<S>(VT("8255端口PA"), MakeChoices(kDirectionChoices), &S::portADir),
      ChoiceProperty<S>(VT("8255端口PB"), MakeChoices(kDirectionChoices), &S::portBDir),
      ChoiceProperty<S>(VT("8255端口PC0-3"), MakeChoices(kDirectionChoices), &S::portCLowDir),
      ChoiceProperty<S>(VT("8255端口PC4-7"), MakeChoices(kDirectionChoices), &S::portCHighDir),
  };
  enum { kPortAProperty = 7, kPortBProperty, kPortCLowProperty, kPortCHighProperty };
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
    table.AddDigitalGroup(8, VT("输入PA%d"), VT("输出PA%d"), 0, s.portADir != 0);
    table.AddDigitalGroup(8, VT("输入PB%d"), VT("输出PB%d"), 0, s.portBDir != 0);
    table.AddDigitalGroup(4, VT("输入PC%d"), VT("输出PC%d"), 0, s.portCLowDir != 0);
    table.AddDigitalGroup(4, VT("输入PC%d"), VT("输出PC%d"), 4, s.portCHighDir != 0);
    table.AddGroup(AnalogInputCount(s), VT("AD%d输入"), 0, NumericIn);
  }

  // The 8255 control word, from the port properties of this call: an input choice sets the group's
  // bits, an output choice clears them, a property not found or not matched leaves them at 0x80's.
  void ApplySet(DeviceRecord* device, S& s, const PropertyMatches& matches) {
    Ppi8255ControlWord control;
    const std::pair<int, uint8_t> groups[] = {{kPortAProperty, Ppi8255ControlWord::kPortAInput},
                                              {kPortBProperty, Ppi8255ControlWord::kPortBInput},
                                              {kPortCLowProperty, Ppi8255ControlWord::kPortCLowInput},
                                              {kPortCHighProperty, Ppi8255ControlWord::kPortCHighInput}};
    for (const auto& [property, bits] : groups)
      if (matches.Taken(property)) control.SetInput(bits, matches.Code(property) == kInputChoice);
    PortIO(device).OutByte(s.baseAddress + 11, control.Word());
  }

  // Counters, then digital inputs, then analog inputs.
  void Collect(DeviceRecord* device, S& s, const CArray<int>& enabled, CArray<double>& values) {
    const PortIO io(device);
    const int base = s.baseAddress;
    for (int i = 0; i < 3; ++i)
      if (IsEnabled(enabled, kFirstCounter + i))
        StoreValue(values, kFirstCounter + i, pit8254::ReadLatchedCount(io, base + 15, base + 12 + i, i));

    if (s.portADir == 0) SpreadBits(io.InByte(base + 8), 0, 8, kFirstPortA, enabled, values);
    if (s.portBDir == 0) SpreadBits(io.InByte(base + 9), 0, 8, kFirstPortB, enabled, values);
    if (s.portCLowDir == 0) SpreadBits(io.InByte(base + 10), 0, 4, kFirstPortCLow, enabled, values);
    if (s.portCHighDir == 0) SpreadBits(io.InByte(base + 10), 4, 4, kFirstPortCHigh, enabled, values);

    const double low = s.rangeCode == 0 ? -5.0 : s.rangeCode == 1 ? -10.0 : 0.0;
    const double high = s.rangeCode == 0 ? 5.0 : 10.0;
    const int codeOffset = s.inputMode == 0 ? 0 : 16;
    io.OutByte(base + 1, 0);
    SampleBuffer samples;
    for (int c = 0; c < AnalogInputCount(s); ++c) {
      if (!IsEnabled(enabled, kFirstAd + c)) continue;
      for (int n = 0; n < s.repeatCount; ++n) {
        io.OutByte(base + 1, 0);
        io.OutByte(base + 0, static_cast<uint8_t>(c + codeOffset));
        io.InByte(base + 0);
        io.InByte(base + 0);
        Sleep(10);
        if (io.InByte(base + 1) & 1) Sleep(10);  // still busy: one more wait, the status is not read again
        io.InByte(base + 2);
        io.InByte(base + 3);
        samples.Append(io.InWord(base + 2) & 0xFFF);
      }
      StoreValue(values, kFirstAd + c, CountToVolts(low, high, Reduce(samples, s.reduceMode)));
      samples.Clear();
    }
  }

  // After the command's value is in the host's array: the digital outputs, then the analog output.
  void Write(DeviceRecord* device, S& s, CArray<double>& values, int index, double) {
    const PortIO io(device);
    const int base = s.baseAddress;
    if (index >= kFirstPortA && index <= kLastDigital) {
      // Every output group is rebuilt from the host's values and rewritten.
      if (s.portADir != 0) io.OutByte(base + 8, static_cast<uint8_t>(PackBits(0, 0, 8, kFirstPortA, values)));
      if (s.portBDir != 0) io.OutByte(base + 9, static_cast<uint8_t>(PackBits(0, 0, 8, kFirstPortB, values)));
      if (s.portCLowDir != 0 || s.portCHighDir != 0) {
        uint32_t portC = 0;
        if (s.portCLowDir != 0) portC = PackBits(portC, 0, 4, kFirstPortCLow, values);
        if (s.portCHighDir != 0) portC = PackBits(portC, 4, 4, kFirstPortCHigh, values);
        io.OutByte(base + 10, static_cast<uint8_t>(portC));
      }
    }
    if (index >= kFirstDa && index <= kLastDa) {
      const double low = s.daRangeCode == 1 ? 0.0 : -5.0, high = 5.0;
      double v = values[index];
      if (v < low) v = low;
      if (v > high) v = high;
      io.OutByte(base + 4, static_cast<uint8_t>(index - kFirstDa));
      // Full scale would give 4096, which the 12-bit converter takes as 0: the top code is 4095.
      const int code = static_cast<int>((v - low) / (high - low) * 4096);
      io.OutWord(base + 6, static_cast<uint16_t>(code > 4095 ? 4095 : code));
    }
  }

  static int AnalogInputCount(const S& s) { return s.inputMode == 0 ? 16 : 8; }
};

}  // namespace

VARN_HANDCODED_DRIVER(TavrelBoard)
