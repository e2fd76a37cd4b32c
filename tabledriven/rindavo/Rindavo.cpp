// Rindavo multifunction board (ISA): a 12-bit A/D converter with 16 single-ended or 8 differential
// inputs and a range code per input, one 12-bit D/A output, 16 digital inputs, 16 digital outputs
// and an 8254 with three 16-bit counters. Sixteen ports from the base address (768 as delivered):
//
//   +0   read: result bits 3-0 in bits 7-4     write: starts a conversion
//   +1   read: result bits 11-4                write: range code of the input the multiplexer selects
//   +2   write: multiplexer, start channel in the low nibble, stop channel in the high nibble
//   +3   digital inputs 0-7 / outputs 0-7      +11  digital inputs 8-15 / outputs 8-15
//   +4   D/A code bits 3-0 in bits 7-4         +5   D/A code bits 11-4
//   +8   status: bit 7 set while a conversion runs
//   +12..+14 counters 0-2 (low, then high byte)  +15 counter control word
//
// The full scale of the A/D inputs is set by the JP7 jumper together with the range code, so the
// driver derives the range it can reach from the requested one. The runtime builds convert only
// the A/D inputs; the configuration build reads the digital inputs and the counters too, with its
// own waits.
#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "framework/chips.h"
#include "tabledriven/devserver/devserver.h"

namespace {

using namespace varn;

enum Setting { kBaseAddress, kRepeatCount, kReduceMode, kInputMode, kInputRange, kJumper7, kDaRange };

// Channel indexes.
constexpr int kFirstDo = 16, kDigitalBits = 16;
constexpr int kFirstCounter = 33;
constexpr int kFirstAd = 36;

// Registers.
constexpr int kAdLow = 0, kAdHigh = 1, kMultiplexer = 2, kDigitalLow = 3, kDaLow = 4, kDaHigh = 5, kStatus = 8;
constexpr int kDigitalHigh = 11, kFirstCounterPort = 12, kCounterControl = 15;
constexpr uint8_t kBusy = 0x80;
constexpr uint8_t kLatchExtraBits = 0x04;  // the configuration build's latch commands 0x04, 0x44, 0x84

// Polls of the end of conversion that one runtime pass may spend, over all its samples.
constexpr int kPollBudget = 100;

const TChar* const kPropertyNames[] = {
    VT("设备IO基地址(十进制)"),
    VT("重复采集次数"),
    VT("AD前处理方式"),
    VT("AD输入方式"),
    kConfigurationBuild ? VT("JP5跳线方式选择") : VT("AD输入量程"),  // the same five choices
    VT("JP7跳线方式选择"),
    VT("DA输出量程"),
};
constexpr int32_t kChoiceCounts[] = {0, 0, 2, 2, 5, 2, 2};
constexpr int32_t kDefaults[] = {768, 10, 0, 0, 0, 0, 0};
// clang-format off
const TChar* const kChoiceTexts[] = {
    VT("0 - 平均值处理"), VT("1 - 最大最小值处理"),                                          // reduction
    VT("单端输入"), VT("双端输入"),                                                          // input mode
    VT("0 - ±10V"), VT("1 - ±5V"), VT("2 - ±2.5V"), VT("3 - ±1.25"), VT("4 - ±0.625V"),  // input range
    VT("0   5V"), VT("0   10V"),                                                           // JP7
    VT("0 - 5V"), VT("0 - 10V"),                                                           // D/A range
};
// clang-format on
// The A/D group follows the input mode: 16 here, 8 for differential inputs.
constexpr int32_t kGroupSizes[] = {16, 16, 1, 3, 0, 16};
const TChar* const kFormats[] = {VT("DI%.2d"),      VT("DO%.2d"),   VT("DA%.2d"),
                                 VT("Counter%.2d"), VT("频率%.2d"), VT("AD%.2d")};

// Input mode 1 is differential (8 inputs); any other value reads as single-ended (16 inputs), for
// the channel table, the run start and the pass alike.
int AnalogInputCount(const Settings& s) { return s[kInputMode] == 1 ? 8 : 16; }

// The range the JP7 jumper lets the requested one reach: r (full scale 10 / 2^r volts) and the
// 2-bit range code written for every input.
struct EffectiveRange {
  int64_t index;
  uint8_t code;
  double FullScale() const { return 10.0 * std::pow(2.0, -static_cast<double>(index)); }
};
EffectiveRange RangeOf(const Settings& s) {
  const int64_t requested = s[kInputRange];
  if (s[kJumper7] == 0) {  // five-volt position
    const int64_t r = requested == 0 ? 1 : requested;
    return {r, static_cast<uint8_t>(r - 1)};
  }
  const int64_t r = requested == 4 ? 3 : requested;  // ten-volt position
  return {r, static_cast<uint8_t>(r)};
}

// The two reductions of n >= 1 samples, with t = n / 3 and integer division.
// TailMean: the first t samples in acquisition order are dropped.
int TailMean(const int32_t* samples, int n) {
  const int t = n / 3;
  int64_t sum = 0;
  for (int i = t; i < n; ++i) sum += samples[i];
  return static_cast<int>(sum / (n - t));
}
// CentralMean: sorted, the lowest t and the highest t are dropped.
int CentralMean(int32_t* samples, int n) {
  std::sort(samples, samples + n);
  const int t = n / 3;
  int64_t sum = 0;
  for (int i = t; i < n - t; ++i) sum += samples[i];
  return static_cast<int>(sum / (n - 2 * t));
}

struct RindavoBoard : TableDrivenBoard<RindavoBoard> {
  // The runtime builds hang a plain block of seven integers on the device record.
  using Storage = std::conditional_t<kConfigurationBuild, SettingsArrayStorage, SettingsBlockStorage>;
  static constexpr bool kPresetsSlotZero = true;

  static constexpr BoardDescription kDescription = {
      VT("Rindavo"),
      0x8F2CE056,
      {VT("Rindavo"), {VT("RindavoU.drv"), VT("RindavoE.drv")}},
      VT("VARN_WRITE"),
      MakeTable(kPropertyNames),
      MakeTable(kChoiceCounts),
      MakeTable(kDefaults),
      MakeTable(kChoiceTexts),
      MakeTable(kGroupSizes),
      MakeTable(kFormats),
  };

  int GroupSize(const Settings& s, int group) const {
    return group == kAD ? AnalogInputCount(s) : TableDrivenBoard::GroupSize(s, group);
  }

  // Counters 0-2 as free-running rate generators from 0xFFFF, then the range code: for every input
  // in use through the multiplexer (runtime builds), or once (configuration build).
  void RunInit(DeviceRecord* device, const Settings& s) {
    const PortIO io(device);
    const int base = s[kBaseAddress];
    pit8254::StartRateGenerators(io, Port(base, kCounterControl), Port(base, kFirstCounterPort));
    const uint8_t code = RangeOf(s).code;
    if (kConfigurationBuild) {
      io.OutByte(Port(base, kAdHigh), code);
      return;
    }
    for (int k = 0; k < AnalogInputCount(s); ++k) {
      io.OutByte(Port(base, kMultiplexer), static_cast<uint8_t>(k == 0 ? 0 : (k - 1) * 16 + k));  // start k
      Sleep(5);
      io.OutByte(Port(base, kAdHigh), code);
    }
  }

  void Collect(DeviceRecord* device, const Settings& s, const CArray<int>& enabled, CArray<double>& values) {
    const PortIO io(device);
    const int base = s[kBaseAddress];
    if (kConfigurationBuild) {
      CByteArray image;
      image.SetSize(2);
      image[0] = io.InByte(Port(base, kDigitalLow));
      image[1] = io.InByte(Port(base, kDigitalHigh));
      for (int i = 0; i < kDigitalBits; ++i) StoreValue(values, i, ReadBit(image, i));
    }
    ConvertInputs(io, s, values);
    if (kConfigurationBuild)
      pit8254::ReadCounterChannels(io, Port(base, kCounterControl), Port(base, kFirstCounterPort), kFirstCounter,
                                   enabled, values, kLatchExtraBits);
  }

  // Output d = index - 16 in a two-byte image rebuilt from the host's values, then only the byte
  // that holds it is written. The value goes into the host's array: it is the outputs' state.
  void WriteDO(DeviceRecord* device, const Settings& s, CArray<double>& values, int index, double value) {
    const int d = index - kFirstDo;
    CByteArray image;
    image.SetSize(2);
    for (int i = 0; i < kDigitalBits; ++i) WriteBit(image, ValueAt(values, kFirstDo + i), i);
    WriteBit(image, value, d);
    StoreValue(values, index, value);
    const int byte = d / 8;
    PortIO(device).OutByte(Port(s[kBaseAddress], byte == 0 ? kDigitalLow : kDigitalHigh), image[byte]);
  }

  // 0 to 5 V (or 0 to 10 V) in 4096 codes; 5 V (10 V) and above give the top code, values below 0
  // give code 0. The host's array is not updated.
  void WriteDA(DeviceRecord* device, const Settings& s, CArray<double>&, int, double volts) {
    const double p = std::pow(2.0, static_cast<double>(s[kDaRange]));
    int code = 4095;
    if (!(volts > 0.0))
      code = 0;
    else if (volts < 5.0 * p)
      code = static_cast<int>(volts * 819.2 / p);
    const PortIO io(device);
    io.OutByte(Port(s[kBaseAddress], kDaLow), static_cast<uint8_t>((code * 16) & 0xFF));
    io.OutByte(Port(s[kBaseAddress], kDaHigh), static_cast<uint8_t>((code / 16) & 0xFF));
  }

 private:
  // Every A/D input in use, n samples each, reduced and scaled to volts at channel 36 + k. A count of
  // 0 or less takes no sample; a count whose buffer cannot be had converts nothing.
  void ConvertInputs(const PortIO& io, const Settings& s, CArray<double>& values) {
    const int n = s[kRepeatCount];
    if (n <= 0) return;
    std::unique_ptr<int32_t[]> samples;
    try {
      samples.reset(new (std::nothrow) int32_t[static_cast<size_t>(n)]);  // each element is written before use
    } catch (const std::bad_alloc&) {
    }
    if (!samples) return;
    const int base = s[kBaseAddress];
    const double fullScale = RangeOf(s).FullScale();
    int polls = 0;  // the end-of-conversion budget, for the whole pass
    for (int k = 0; k < AnalogInputCount(s); ++k) {
      for (int i = 0; i < n; ++i) {
        if (kConfigurationBuild) {
          io.OutByte(Port(base, kMultiplexer), static_cast<uint8_t>(k));
          Sleep(2);
          io.OutByte(Port(base, kAdLow), 0);
          Sleep(5);
          while (io.InByte(Port(base, kStatus)) & kBusy) Sleep(5);
        } else {
          io.OutByte(Port(base, kMultiplexer), static_cast<uint8_t>(k));  // start channel k, stop channel 0
          io.OutByte(Port(base, kAdLow), 0);
          Sleep(1);
          // Once the budget is spent, the rest of the pass reads right after the 1 ms.
          ++polls;
          while (polls <= kPollBudget && (io.InByte(Port(base, kStatus)) & kBusy)) {
            Sleep(1);
            ++polls;
          }
        }
        const int low = io.InByte(Port(base, kAdLow)) >> 4;
        const int high = io.InByte(Port(base, kAdHigh));
        samples[static_cast<size_t>(i)] = high * 16 + low;
      }
      const int result = s[kReduceMode] == 0 ? TailMean(samples.get(), n) : CentralMean(samples.get(), n);
      StoreValue(values, kFirstAd + k, CountToVolts(-fullScale, fullScale, result));
    }
  }
};

}  // namespace

VARN_TABLE_DRIVEN_DRIVER(RindavoBoard)
