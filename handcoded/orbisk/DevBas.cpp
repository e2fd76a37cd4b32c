// Orbisk multifunction board: 8 analog inputs whose converter result is read as a 16-bit word (12 or
// all 16 bits kept), 2 analog outputs taking a 12-bit code, 8 digital inputs and 8 digital outputs.
// Ports from the base address:
//
//   +0       read: digital inputs; write: analog input channel (first write of a conversion)
//   +2       write: analog input channel (second and third writes)
//   +4       read word: converter result; write: data byte for the analog and digital outputs
//   +6       write 0: the digital outputs take the data byte
//   +8, +10  write 0: an analog output takes the data byte as its low byte, as its high nibble
//   +12, +14 write 0: update analog output 0, 1
#include "framework/sharedproperties.h"

namespace {

using namespace varn;

struct OrbiskSettings {
  int32_t baseAddress;
  int32_t spare1;  // stored and loaded, never used
  int32_t adRangeCode;
  int32_t repeatCount;
  int32_t reduceMode;
  int32_t da0RangeCode;
  int32_t da1RangeCode;
  int32_t adResolution;  // 0 keeps the low 12 bits of the converter word, otherwise all 16
  int32_t spare2;
  int32_t skipDigitalInputs;  // not 0: the pass leaves the digital inputs alone; no property sets it
  int32_t spare3;
};
using S = OrbiskSettings;

// A converter span: bipolar ranges are offset binary around mid-scale, unipolar ones start at 0 V.
struct Range {
  double low, high;
  bool Bipolar() const { return low < 0.0; }
};
// By range code; a code outside a table (only a foreign stored record has one) takes its first row.
constexpr Range kAdRanges[] = {{-5.0, 5.0}, {-10.0, 10.0}, {-2.5, 2.5}, {0.0, 5.0}, {0.0, 10.0}};
constexpr Range kDaRanges[] = {{0.0, 5.0}, {0.0, 10.0}, {-5.0, 5.0}, {-2.5, 2.5}};
template <size_t N>
constexpr Range RangeOf(const Range (&table)[N], int32_t code) {
  return code >= 0 && static_cast<size_t>(code) < N ? table[code] : table[0];
}

const TChar* const kAdRangeChoices[] = {VT("0 - ±5V"), VT("1 - ±10V"), VT("2 - ±2.5V"), VT("3 - 0 ～ 5V"),
                                        VT("4 - 0 ～ 10V")};
const TChar* const kDaRangeChoices[] = {VT("0 - 0-5V"), VT("1 - 0-10V"), VT("2 - ±5V"), VT("3 - ±2.5")};
const TChar* const kResolutionChoices[] = {VT("0 - 12位输入"), VT("1 - 16位输入")};

// Channel indexes.
constexpr int kFirstDa = 0, kDaCount = 2;
constexpr int kFirstDi = 2, kFirstDo = 10, kDigitalCount = 8;
constexpr int kFirstAd = 18, kAdCount = 8;

struct OrbiskBoard : HandcodedBoard<OrbiskSettings> {
  static constexpr Property<S> kProperties[] = {
      BaseAddressProperty<S>(VT("160"), &S::baseAddress),
      ChoiceProperty<S>(VT("输入量程"), MakeChoices(kAdRangeChoices), &S::adRangeCode),
      ChoiceProperty<S>(VT("DA0输出范围"), MakeChoices(kDaRangeChoices), &S::da0RangeCode),
      ChoiceProperty<S>(VT("DA1输出范围"), MakeChoices(kDaRangeChoices), &S::da1RangeCode),
      ChoiceProperty<S>(VT("输入12位与16位选择"), MakeChoices(kResolutionChoices), &S::adResolution),
      RepeatCountProperty<S>(VT("5"), &S::repeatCount, NumberFormat::Decimal),
      ReduceModeProperty<S>(&S::reduceMode),
  };
  static constexpr PropertyLookup kLookup = PropertyLookup::RunningCursor;

  static constexpr S kDefaults = {0x160, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0};
  // 44 stored bytes.
  static constexpr int32_t S::*kStoredOrder[] = {
      &S::reduceMode,        &S::baseAddress, &S::adRangeCode, &S::spare1,       &S::adResolution, &S::spare2,
      &S::skipDigitalInputs, &S::spare3,      &S::repeatCount, &S::da0RangeCode, &S::da1RangeCode,
  };

  static constexpr const TChar* kHelpTopic = VT("Orbisk");
  static constexpr uint32_t kHelpContext = 0x8F2D2E75;
  static constexpr DeviceInfo kDeviceInfo = {VT("Orbisk"), {VT("OrbiskU.drv"), VT("OrbiskE.drv")}};

  void Channels(const S&, ChannelTable& table) {
    table.AddGroup(kDaCount, VT("输出DA%d"), 0, NumericOut);
    table.AddGroup(kDigitalCount, VT("输入DI%d"), 0, DigitalIn);
    table.AddGroup(kDigitalCount, VT("输出DO%d"), 0, DigitalOut);
    table.AddGroup(kAdCount, VT("输入AD%d"), 0, NumericIn);
  }

  // Digital inputs, then the enabled analog inputs, each sample in volts before the reduction.
  void Collect(DeviceRecord* device, S& s, const CArray<int>& enabled, CArray<double>& values) {
    const PortIO io(device);
    const int base = s.baseAddress;
    if (s.skipDigitalInputs == 0) SpreadBits(io.InByte(base + 0), 0, kDigitalCount, kFirstDi, enabled, values);

    // With no conversion to reduce the input keeps its previous value: the reduction of no sample
    // is a mid-scale count, not volts.
    if (s.repeatCount <= 0) return;
    const Range range = RangeOf(kAdRanges, s.adRangeCode);
    for (int j = 0; j < kAdCount; ++j) {
      if (!IsEnabled(enabled, kFirstAd + j)) continue;
      StoreValue(values, kFirstAd + j, ConvertAndReduce(s.repeatCount, s.reduceMode, [&] {
                   io.OutByte(base + 0, static_cast<uint8_t>(j));
                   Sleep(1);
                   io.OutByte(base + 2, static_cast<uint8_t>(j));
                   Sleep(1);
                   io.OutByte(base + 2, static_cast<uint8_t>(j));
                   Sleep(1);
                   const uint32_t word = io.InWord(base + 4);
                   const double raw = s.adResolution == 0 ? word & 0xFFF : word;
                   // The same formulas in the 16-bit setting.
                   return range.Bipolar() ? (raw - 2048) * (range.high - range.low) * 0.000244140625
                                          : raw * range.high * 0.000244140625;
                 }));
    }
  }

  // After the command's value is in the host's array: the digital outputs, then the analog output.
  void Write(DeviceRecord* device, S& s, CArray<double>& values, int index, double) {
    const PortIO io(device);
    const int base = s.baseAddress;
    if (index >= kFirstDo && index < kFirstDo + kDigitalCount) {
      // All eight outputs, rebuilt from the host's values.
      io.OutByte(base + 4, static_cast<uint8_t>(PackBits(0, 0, kDigitalCount, kFirstDo, values)));
      Sleep(1);
      io.OutByte(base + 6, 0);
    }
    if (index >= kFirstDa && index < kFirstDa + kDaCount) {
      const int k = index - kFirstDa;
      const Range range = RangeOf(kDaRanges, k == 0 ? s.da0RangeCode : s.da1RangeCode);
      const uint32_t code = DaCode(values[index], range.low, range.high);
      io.OutByte(base + 4, static_cast<uint8_t>(code & 0xFF));
      io.OutByte(base + 8, 0);
      io.OutByte(base + 4, static_cast<uint8_t>((code >> 8) & 0x0F));
      io.OutByte(base + 10, 0);
      Sleep(1);
      io.OutByte(base + 12 + 2 * k, 0);
    }
  }
};

}  // namespace

VARN_HANDCODED_DRIVER(OrbiskBoard)
