// The simulated boards, and the parts several of them are built from.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "varnhost/sim/board.h"
#include "varnhost/sim/i8254.h"
#include "varnhost/sim/i8255.h"

namespace varnhost::sim {

BoardType TavrelBoardType();
BoardType UlvestBoardType();
BoardType OrbiskBoardType();
BoardType WexlorBoardType();
BoardType JostraBoardType();
BoardType RindavoBoardType();

struct Span {
  double low, high;
};

// A bank of analog inputs ("ad0", "ad1", ...) before a 12-bit (or 16-bit) converter that is busy
// for a while after each start and then holds the code of the voltage it was started on: offset
// binary over its span, 0 at the low end.
class AnalogInputs {
 public:
  AnalogInputs(const Inputs& inputs, int count, Span span, Micros conversionTime = 15, int bits = 12);
  double Input(int channel) const;
  // Differential pair d of a 16-input bank: input d against input d + 8 (pairs 0..7).
  double Pair(int d) const { return d >= 0 && d < 8 ? Input(d) - Input(d + 8) : 0.0; }
  void Start(double volts, Micros now);
  void Start(double volts, Span span, Micros now);  // a converter whose span is set per input
  bool Busy(Micros now) const { return now < doneAt_; }
  uint32_t Result() const { return result_; }
  static uint32_t Code(double volts, Span span, int bits = 12);

 private:
  std::vector<double> volts_;
  Span span_;
  Micros conversionTime_;
  int bits_;
  Micros doneAt_ = 0;
  uint32_t result_ = 0;
};

// ad0 .. ad<count-1>: 0.25 V, -0.5 V, 0.75 V, -1.0 V, ...
Inputs AnalogInputDefaults(int count);

// The input range and gain jumpers of a board whose driver writes nothing about either: "range" is
// the half-span at the converter in volts (±range), "gain" the amplifier's gain before it.
struct RangeAndGain {
  Span span;
  double gain;
};
void AddRangeAndGainDefaults(Inputs& defaults);  // range 5 (±5 V), gain 1
RangeAndGain RangeAndGainJumpers(const Inputs& inputs, const std::string& board);

// A board's 8255 at four registers from first (ports A, B, C, control), its input pins "pa", "pb",
// "pc", and a line showing what it drives.
std::optional<uint32_t> ReadPpi(const Ppi8255& ppi, uint32_t reg, uint32_t first);
bool WritePpi(Ppi8255& ppi, uint32_t reg, uint32_t first, uint32_t value);  // false: not its register
void AddPinDefaults(Inputs& defaults);                                      // pa 0x5A, pb 0xC3, pc 0x96
void SetPins(Ppi8255& ppi, const Inputs& inputs);
std::string PpiOutputs(const Ppi8255& ppi);

// A board's 8254: counters 0..2 at three registers from first, its control register behind them,
// and the clock rates at the counters' inputs "counter0_hz" .. "counter2_hz".
std::optional<uint32_t> ReadPit(Pit8254& pit, uint32_t reg, uint32_t first, Micros now);
bool WritePit(Pit8254& pit, uint32_t reg, uint32_t first, uint32_t value, Micros now);
void AddClockDefaults(Inputs& defaults);  // 1000, 250 and 40 Hz
std::array<double, 3> Clocks(const Inputs& inputs);

std::string Hex(uint32_t value);

// An input that stands for eight pins: a whole number 0 to 255, else a BoardError naming it.
uint8_t ByteInput(const Inputs& inputs, const std::string& board, const std::string& name);

}  // namespace varnhost::sim
