// The small routines the boards share: the sample buffer and its two reductions, bit splitting and
// packing, bounds-safe access to the host's arrays, choice recognition, the two ways of finding a
// property in the host's arrays, and the parsing of the host's write command.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "framework/hostlib.h"
#include "framework/text.h"

namespace varn {

// ---------------------------------------------------------------------------------------------
// Samples of one analog channel within one pass (raw counts, or volts on boards that convert first).
class SampleBuffer {
 public:
  void Append(double sample) { samples_.push_back(sample); }
  int Count() const { return static_cast<int>(samples_.size()); }
  const std::vector<double>& Samples() const { return samples_; }
  void Clear() { samples_.clear(); }

 private:
  std::vector<double> samples_;
};

// Mid-scale of a 12-bit converter: what a reduction of no sample gives.
constexpr double kMidScaleCount = 2048.0;

// Mean of the samples, summed in buffer order from 0.0.
inline double PlainMean(const SampleBuffer& buffer) {
  if (buffer.Count() == 0) return kMidScaleCount;
  double sum = 0.0;
  for (double x : buffer.Samples()) sum += x;
  return sum / buffer.Count();
}

// Mean without one largest and one smallest sample ("最大最小值处理"). Largest and smallest start
// from the first sample, so samples of any sign are bracketed; two samples give their mean, one
// sample itself.
inline double TrimmedMean(const SampleBuffer& buffer) {
  const auto& xs = buffer.Samples();
  const size_t n = xs.size();
  if (n == 0) return kMidScaleCount;
  double largest = xs[0], smallest = xs[0], sum = 0.0;
  for (double x : xs) {
    if (largest < x) largest = x;
    if (smallest > x) smallest = x;
    sum += x;
  }
  if (n == 2) return sum / 2.0;
  return (sum - largest - smallest) / (static_cast<double>(n) - 2.0);
}

// The reduction a board's "AD前处理方式" setting selects: 0 the plain mean, any other the trimmed one.
inline double Reduce(const SampleBuffer& buffer, int32_t reduceMode) {
  return reduceMode == 0 ? PlainMean(buffer) : TrimmedMean(buffer);
}

// One analog input's value of a pass: repeatCount conversions, each giving its sample to the sample
// buffer, reduced as reduceMode says. With a repeat count of 0 or less convert is never called and
// the reduction of no sample is given.
template <class Convert>
double ConvertAndReduce(int32_t repeatCount, int32_t reduceMode, Convert convert) {
  SampleBuffer samples;
  for (int32_t n = 0; n < repeatCount; ++n) samples.Append(convert());
  return Reduce(samples, reduceMode);
}

// Raw converter count to volts over a span from low to high: low + (high - low) * count / 4096.
inline double CountToVolts(double low, double high, double count) { return low + (high - low) * count / 4096.0; }

// Inputs whose range choice halves a span of ±5 V at each step (whatever the choice's text says)
// and whose gain choice divides by 2^gainCode: H = 5 / 2^rangeCode, L = -H,
// volts = (L + (H - L) * count / 4096) / 2^gainCode.
class HalvingRange {
 public:
  HalvingRange(int32_t rangeCode, int32_t gainCode)
      : half_(5.0 / std::pow(2.0, rangeCode)), gain_(std::pow(2.0, gainCode)) {}
  double Volts(double count) const { return CountToVolts(-half_, half_, count) / gain_; }

 private:
  double half_, gain_;
};

// Volts to a 12-bit D/A code over a span from low to high: the value clamped into the span, then
// trunc((v - low) / (high - low) * 4096). Full scale would give 4096, which the 12 bits a converter
// takes turn into 0, the smallest output for the largest request: the top code is 4095.
inline uint32_t DaCode(double value, double low, double high) {
  if (!(value > low)) value = low;  // NaN too
  if (value > high) value = high;
  const auto code = static_cast<uint32_t>((value - low) / (high - low) * 4096);
  return code > 4095 ? 4095 : code;
}

// ---------------------------------------------------------------------------------------------
// Bits.
constexpr uint32_t GetBit(uint32_t v, int bit) { return (v >> bit) & 1u; }
constexpr uint32_t SetBit(uint32_t v, int bit, bool on) { return on ? v | (1u << bit) : v & ~(1u << bit); }

// A host value drives an output bit when its truncation toward zero is not 0, that is when its
// magnitude is at least 1. NaN drives nothing.
inline bool OutputBitOn(double value) { return std::fabs(value) >= 1.0; }

// ---------------------------------------------------------------------------------------------
// The host's arrays are read and written only where they have elements.
template <class T>
bool HasIndex(const CArray<T>& array, int index) {
  return index >= 0 && index < array.GetSize();
}
inline bool IsEnabled(const CArray<int>& enabled, int index) { return HasIndex(enabled, index) && enabled[index] == 1; }
inline double ValueAt(const CArray<double>& values, int index) { return HasIndex(values, index) ? values[index] : 0.0; }
inline void StoreValue(CArray<double>& values, int index, double value) {
  if (HasIndex(values, index)) values[index] = value;
}

// Digital input: bits firstBit .. firstBit+count-1 of a port byte to the enabled channels from
// firstIndex on, as 0.0 or 1.0.
inline void SpreadBits(uint32_t portByte, int firstBit, int count, int firstIndex, const CArray<int>& enabled,
                       CArray<double>& values) {
  for (int k = 0; k < count; ++k)
    if (IsEnabled(enabled, firstIndex + k)) StoreValue(values, firstIndex + k, GetBit(portByte, firstBit + k));
}

// Digital input without enable flags: every bit of the group is stored.
inline void SpreadAllBits(uint32_t portByte, int firstBit, int count, int firstIndex, CArray<double>& values) {
  for (int k = 0; k < count; ++k) StoreValue(values, firstIndex + k, GetBit(portByte, firstBit + k));
}

// Digital output: bits firstBit .. firstBit+count-1 of an image, from the host's values at
// firstIndex on; the image's other bits stay as they are.
inline uint32_t PackBits(uint32_t image, int firstBit, int count, int firstIndex, const CArray<double>& values) {
  for (int k = 0; k < count; ++k) image = SetBit(image, firstBit + k, OutputBitOn(ValueAt(values, firstIndex + k)));
  return image;
}

// ---------------------------------------------------------------------------------------------
// A choice text is "code - label"; it is recognised as a whole, without regard to case.
template <class Ch>
struct ChoiceSet {
  const Ch* const* texts;
  int count;
};

// Which of several equal choices a text takes.
enum class EqualChoice { First, Last };

// Index of the first (or the last) choice equal to the text, or -1.
template <class Ch>
int MatchChoice(const Ch* text, ChoiceSet<Ch> choices, EqualChoice wins = EqualChoice::First) {
  int match = -1;
  for (int c = 0; c < choices.count; ++c) {
    if (!EqualsNoCase(text, choices.texts[c])) continue;
    match = c;
    if (wins == EqualChoice::First) break;
  }
  return match;
}

// Every choice is compared; of several equal ones the last wins (the table-driven drivers).
template <class Ch>
int MatchLastChoice(const Ch* text, ChoiceSet<Ch> choices) {
  return MatchChoice(text, choices, EqualChoice::Last);
}

// How SvrSetProperty finds a board's properties in the host's name array.
enum class PropertyLookup {
  FixedPositions,  // property i only at position i
  RunningCursor,   // a cursor that advances past each property found, in table order
};

// Calls take(property, valueText) for each of the count properties found in names/values.
// Arrays shorter than the property count are taken only where they have elements.
template <class Ch, class NameOf, class Take>
void FindProperties(PropertyLookup lookup, int count, const BasicCStringArray<Ch>& names,
                    const BasicCStringArray<Ch>& values, NameOf nameOf, Take take) {
  const int available = names.GetSize() < values.GetSize() ? names.GetSize() : values.GetSize();
  int cursor = 0;
  for (int p = 0; p < count; ++p) {
    const int at = lookup == PropertyLookup::FixedPositions ? p : cursor;
    if (at >= available || !EqualsNoCase<Ch>(names[at], nameOf(p))) continue;
    take(p, values[at]);
    ++cursor;
  }
}

// ---------------------------------------------------------------------------------------------
// The host's write command: keyword "(" index "=" value ")"; text after ")" is ignored.
struct WriteCommand {
  enum class Form {
    NotACommand,   // "(", "=" or ")" missing
    OtherKeyword,  // the keyword is not the board's
    Unreadable,    // the index or the value does not read as a number, or the value is not finite
    Write,
  };
  Form form = Form::NotACommand;
  int index = 0;
  double value = 0.0;
};

template <class Ch>
WriteCommand ParseWriteCommand(const BasicCString<Ch>& text, const Ch* keyword) {
  WriteCommand command;
  const int open = text.Find(Ch('(')), equals = text.Find(Ch('=')), close = text.Find(Ch(')'));
  if (open < 0 || equals < 0 || close < 0) return command;
  command.form = WriteCommand::Form::OtherKeyword;
  if (!EqualsNoCase<Ch>(text.Left(open), keyword)) return command;
  command.form = WriteCommand::Form::Unreadable;
  const auto index = ScanInt<Ch>(text.Mid(open + 1, equals - open - 1), NumberFormat::Decimal);
  const auto value = ScanDouble<Ch>(text.Mid(equals + 1, close - equals - 1));
  if (!index || !value || !std::isfinite(*value)) return command;
  command.form = WriteCommand::Form::Write;
  command.index = *index;
  command.value = *value;
  return command;
}

}  // namespace varn
