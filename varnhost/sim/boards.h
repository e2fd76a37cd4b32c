// The simulated boards, and the parts several of them are built from.
#pragma once

#include <cstdint>
#include <string>

#include "varnhost/sim/board.h"

namespace varnhost::sim {

BoardType TavrelBoardType();
BoardType JostraBoardType();
BoardType RindavoBoardType();

struct Span {
  double low, high;
};

// A bank of analog inputs ("ad0", "ad1", ...) before a 12-bit converter that is busy for a while
// after each start and then holds the code of the voltage it was started on.
class AnalogInputs {
 public:
  AnalogInputs(const Inputs& inputs, int count, Span span, Micros conversionTime = 15);
  double Input(int channel) const;
  void Start(double volts, Micros now);
  void Start(double volts, Span span, Micros now);  // a converter whose span is set per input
  bool Busy(Micros now) const { return now < doneAt_; }
  uint32_t Result() const { return result_; }
  static uint32_t Code(double volts, Span span);

 private:
  std::vector<double> volts_;
  Span span_;
  Micros conversionTime_;
  Micros doneAt_ = 0;
  uint32_t result_ = 0;
};

// ad0 .. ad<count-1>: 0.25 V, -0.5 V, 0.75 V, -1.0 V, ...
Inputs AnalogInputDefaults(int count);

std::string Hex(uint32_t value);

// An input that stands for eight pins: a whole number 0 to 255, else a BoardError naming it.
uint8_t ByteInput(const Inputs& inputs, const std::string& board, const std::string& name);

}  // namespace varnhost::sim
