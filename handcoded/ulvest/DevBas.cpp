// Ulvest A/D board: a 12-bit converter with 16 single-ended or 8 differential inputs and an 8254
// whose counters the driver starts as free-running rate generators. Analog inputs only: the write
// command is refused. Ports from the base address:
//
//   +0       write 0: starts a conversion; read: low byte, its upper four bits the result's bits 0-3
//   +1       write 0 before each conversion; read: the result's bits 4-11
//   +2       write: analog input channel number
//   +8..+10  counters 0..2 (count loading)      +11 counter control (mode words)
#include "framework/sharedproperties.h"

namespace {

using namespace varn;

struct UlvestSettings {
  int32_t baseAddress;
  int32_t rangeCode;  // halves the ±5 V span per step
  int32_t gainCode;   // divides by 2^gainCode
  int32_t repeatCount;
  int32_t reduceMode;
  int32_t inputMode;                       // 0 single-ended (16 inputs), otherwise differential (8 inputs)
  int32_t spare1, spare2, spare3, spare4;  // stored and loaded, never used
};
using S = UlvestSettings;

struct UlvestBoard : HandcodedBoard<UlvestSettings> {
  // The base address shows "300" while a new record starts at 0x200: the first SvrSetProperty with
  // the shown texts moves the board to 0x300.
  static constexpr Property<S> kProperties[] = {
      BaseAddressProperty<S>(VT("300"), &S::baseAddress),
      InputRangeProperty<S>(&S::rangeCode),
      GainProperty<S>(&S::gainCode),
      RepeatCountProperty<S>(VT("5"), &S::repeatCount, NumberFormat::Hex),  // "10" is sixteen
      ReduceModeProperty<S>(&S::reduceMode),
      ChoiceProperty<S>(VT("单双端选择"), MakeChoices(kWiringChoices), &S::inputMode),
  };
  static constexpr bool kRefusesWrites = true;

  static constexpr S kDefaults = {0x200, 0, 0, 5, 0, 0, 0, 0, 0, 0};
  // 40 stored bytes.
  static constexpr int32_t S::*kStoredOrder[] = {
      &S::reduceMode, &S::baseAddress, &S::gainCode, &S::rangeCode, &S::inputMode,
      &S::spare1,     &S::spare2,      &S::spare4,   &S::spare3,    &S::repeatCount,
  };

  static constexpr const TChar* kHelpTopic = VT("Ulvest");
  static constexpr uint32_t kHelpContext = 0x8F2CD825;
  static constexpr DeviceInfo kDeviceInfo = {VT("Ulvest"), {VT("UlvestU.drv"), VT("UlvestE.drv")}};

  void Channels(const S& s, ChannelTable& table) { table.AddGroup(InputCount(s), VT("AD%d输入"), 0, NumericIn); }

  void RunInit(DeviceRecord* device, S& s) {
    pit8254::StartRateGenerators(PortIO(device), s.baseAddress + 11, s.baseAddress + 8);
  }

  // Every input of the table, whatever the enable flags say.
  void Collect(DeviceRecord* device, S& s, const CArray<int>&, CArray<double>& values) {
    const PortIO io(device);
    const int base = s.baseAddress;
    const HalvingRange range(s.rangeCode, s.gainCode);
    for (int c = 0; c < InputCount(s); ++c) {
      const double count = ConvertAndReduce(s.repeatCount, s.reduceMode, [&] {
        io.OutByte(base + 2, static_cast<uint8_t>(c));
        io.OutByte(base + 1, 0);
        Sleep(10);
        io.OutByte(base + 0, 0);  // start
        Sleep(10);                // no done flag: the wait stands in for it
        const uint32_t low = io.InByte(base + 0);
        const uint32_t high = io.InByte(base + 1);
        return high * 16 + (low >> 4);
      });
      StoreValue(values, c, range.Volts(count));
    }
  }

  static int InputCount(const S& s) { return s.inputMode == 0 ? 16 : 8; }
};

}  // namespace

VARN_HANDCODED_DRIVER(UlvestBoard)
