// Property rows and channel groups that several hand-coded boards show alike: the same names and
// choice texts, each board giving its own default texts and fields. A board's table lists them in
// its own order beside the rows that are its alone.
#pragma once

#include "framework/chips.h"
#include "framework/handcoded.h"

namespace varn {

inline const TChar* const kInputRangeChoices[] = {VT("0 - ±5V"), VT("1 - ±10V"), VT("2 - 0 ～ 10V")};
inline const TChar* const kGainChoices[] = {VT("0 - 1"), VT("1 - 2"), VT("2 - 4"), VT("3 - 8"), VT("4 - 16")};
inline const TChar* const kReduceChoices[] = {VT("0 - 平均值处理"), VT("1 - 最大最小值处理")};
inline const TChar* const kWiringChoices[] = {VT("0 - 单端"), VT("1 - 双端")};
inline const TChar* const kDirectionChoices[] = {VT("0 - 数字量输入"), VT("1 - 数字量输出")};
constexpr int kDirectionInputCode = 0;  // code of "0 - 数字量输入"

// "设备IO基地址(16进制)": the base address, typed in hexadecimal.
template <class S>
constexpr Property<S> BaseAddressProperty(const TChar* defaultText, int32_t S::*field) {
  return TextProperty<S>(VT("设备IO基地址(16进制)"), defaultText, field, NumberFormat::Hex);
}

// "重复采集次数": conversions per analog input and pass, read as the board reads it.
template <class S>
constexpr Property<S> RepeatCountProperty(const TChar* defaultText, int32_t S::*field, NumberFormat format) {
  return TextProperty<S>(VT("重复采集次数"), defaultText, field, format);
}

// "AD前处理方式": 0 the plain mean, 1 the trimmed mean of the samples.
template <class S>
constexpr Property<S> ReduceModeProperty(int32_t S::*field) {
  return ChoiceProperty<S>(VT("AD前处理方式"), MakeChoices(kReduceChoices), field);
}

// "输入量程" with the choices ±5 V, ±10 V and 0 to 10 V.
template <class S>
constexpr Property<S> InputRangeProperty(int32_t S::*field) {
  return ChoiceProperty<S>(VT("输入量程"), MakeChoices(kInputRangeChoices), field);
}

// "输入放大增益": gains 1, 2, 4, 8, 16 as codes 0..4.
template <class S>
constexpr Property<S> GainProperty(int32_t S::*field) {
  return ChoiceProperty<S>(VT("输入放大增益"), MakeChoices(kGainChoices), field);
}

// The direction properties of an 8255's four groups; a board lists them one after another in this
// order, which Ppi8255Channels::ControlWordOf expects.
enum Ppi8255Group { kPortA, kPortB, kPortCLow, kPortCHigh };
inline constexpr const TChar* kPpi8255PropertyNames[] = {VT("8255端口PA"), VT("8255端口PB"), VT("8255端口PC0-3"),
                                                         VT("8255端口PC4-7")};
template <class S>
constexpr Property<S> PortDirectionProperty(Ppi8255Group group, int32_t S::*field) {
  return ChoiceProperty<S>(kPpi8255PropertyNames[group], MakeChoices(kDirectionChoices), field);
}

// The 24 channels of an 8255, named and kinded by their groups' directions: PA0-7, PB0-7, PC0-3,
// PC4-7, "输入..." for inputs and "输出..." for outputs.
inline void AddPpi8255Channels(ChannelTable& table, const Ppi8255Channels& ppi) {
  table.AddDigitalGroup(8, VT("输入PA%d"), VT("输出PA%d"), 0, ppi.portADir != 0);
  table.AddDigitalGroup(8, VT("输入PB%d"), VT("输出PB%d"), 0, ppi.portBDir != 0);
  table.AddDigitalGroup(4, VT("输入PC%d"), VT("输出PC%d"), 0, ppi.portCLowDir != 0);
  table.AddDigitalGroup(4, VT("输入PC%d"), VT("输出PC%d"), 4, ppi.portCHighDir != 0);
}

}  // namespace varn
