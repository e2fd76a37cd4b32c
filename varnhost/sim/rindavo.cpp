// Simulated Rindavo multifunction board, sixteen ports from its base address (768 as delivered):
// a 12-bit A/D converter behind a 16-input multiplexer (8 differential pairs k / k+8 when the
// "mode" jumper is 1) with a 2-bit range code per input, busy for a while after each start; one
// 12-bit D/A output; 16 digital inputs and 16 digital outputs; an 8254 whose counters count pulses
// at their inputs. The JP7 jumper sets the full scale of range code 0 (5 or 10 V); each further
// code halves it.
#include <cmath>

#include "varnhost/sim/boards.h"

namespace varnhost::sim {
namespace {

class RindavoModel : public BoardModel {
 public:
  RindavoModel(uint32_t base, const Inputs& in)
      : base_(base),
        ad_(in, 16, Span{-5.0, 5.0}, Micros(ConversionTime(in))),
        pit_(Clocks(in)),
        jp7_(in.at("jp7")),
        differential_(in.at("mode") != 0) {
    if (jp7_ != 5 && jp7_ != 10) throw BoardError("rindavo input \"jp7\" is 5 or 10 (volts of range code 0)");
    if (in.at("mode") != 0 && in.at("mode") != 1)
      throw BoardError("rindavo input \"mode\" is 0 (16 single-ended inputs) or 1 (8 differential inputs)");
    pins_[0] = ByteInput(in, "rindavo", "di_low");
    pins_[1] = ByteInput(in, "rindavo", "di_high");
  }

  std::optional<uint32_t> Read(int width, uint32_t port, Micros now) override {
    const uint32_t reg = port - base_;
    if (width != 8 || port < base_ || reg > 15) return std::nullopt;
    switch (reg) {
      case 0: return (ad_.Result() & 0xF) << 4;
      case 1: return ad_.Result() >> 4;
      case 3: return pins_[0];
      case 8: return ad_.Busy(now) ? 0x80u : 0u;
      case 11: return pins_[1];
      default: return ReadPit(pit_, reg, 12, now);
    }
  }

  void Write(int width, uint32_t port, uint32_t value, Micros now) override {
    const uint32_t reg = port - base_;
    if (width != 8 || port < base_ || reg > 15 || WritePit(pit_, reg, 12, value, now)) return;
    switch (reg) {
      case 0: {  // start the input the multiplexer selects, on its range
        const int input = Selected();
        const double fullScale = jp7_ / std::pow(2.0, rangeCode_[input]);
        ad_.Start(Voltage(input), Span{-fullScale, fullScale}, now);
        break;
      }
      case 1: rangeCode_[Selected()] = value & 3; break;
      case 2: multiplexer_ = uint8_t(value); break;
      case 3: outputs_[0] = uint8_t(value); break;
      case 4: daLow_ = uint8_t(value); break;
      case 5: daHigh_ = uint8_t(value); break;
      case 11: outputs_[1] = uint8_t(value); break;
      default: break;
    }
  }

  std::vector<std::string> Outputs() const override {
    const uint32_t code = uint32_t(daHigh_) * 16 + (daLow_ >> 4);
    std::string ranges;
    for (int k = 0; k < 16; ++k) ranges += (k ? " " : "") + std::to_string(rangeCode_[k]);
    return {"D/A code " + std::to_string(code),
            "digital outputs 0-7 " + Hex(outputs_[0]) + ", 8-15 " + Hex(outputs_[1]),
            "A/D range codes of inputs 0-15: " + ranges};
  }

 private:
  static double ConversionTime(const Inputs& in) {
    const double us = in.at("conversion_us");
    if (!(us >= 0 && us <= 1e9)) throw BoardError("rindavo input \"conversion_us\" is 0 to 1e9 microseconds");
    return us;
  }
  int Selected() const { return multiplexer_ & 0xF; }  // the start channel
  double Voltage(int input) const {
    if (!differential_) return ad_.Input(input);
    return ad_.Pair(input);
  }

  uint32_t base_;
  AnalogInputs ad_;
  Pit8254 pit_;
  double jp7_;
  bool differential_;
  uint8_t pins_[2] = {};
  uint8_t outputs_[2] = {};
  uint8_t multiplexer_ = 0;
  int rangeCode_[16] = {};
  uint8_t daLow_ = 0, daHigh_ = 0;
};

}  // namespace

BoardType RindavoBoardType() {
  Inputs defaults = AnalogInputDefaults(16);
  defaults["jp7"] = 5;   // JP7 jumper: 5 or 10 volts full scale at range code 0
  defaults["mode"] = 0;  // 0: 16 single-ended inputs, 1: 8 differential pairs
  defaults["conversion_us"] = 15;
  defaults["di_low"] = 0xA5;   // digital input pins 0-7
  defaults["di_high"] = 0x3C;  // and 8-15
  AddClockDefaults(defaults);
  return {"rindavo", 768, defaults, [](uint32_t base, const Inputs& in) -> std::unique_ptr<BoardModel> {
            return std::make_unique<RindavoModel>(base, in);
          }};
}

}  // namespace varnhost::sim
