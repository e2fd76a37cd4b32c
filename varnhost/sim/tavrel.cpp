// Simulated Tavrel multifunction board, sixteen ports from its base address (0x100 as delivered):
// a 12-bit A/D converter behind a 24-input multiplexer (codes 0..15 single-ended, 16..23 the
// differential pairs 0/8 .. 7/15), four D/A outputs, an 8255 and an 8254 whose counters count
// pulses at their inputs.
#include <cmath>

#include "varnhost/sim/boards.h"
#include "varnhost/sim/i8254.h"
#include "varnhost/sim/i8255.h"

namespace varnhost::sim {
namespace {

Span SpanOfRangeJumper(double jumper) {
  if (jumper == 5) return {-5.0, 5.0};
  if (jumper == 10) return {-10.0, 10.0};
  if (jumper == 0) return {0.0, 10.0};
  throw BoardError("tavrel input \"range\" is 5 (±5 V), 10 (±10 V) or 0 (0 to 10 V)");
}

class TavrelModel : public BoardModel {
 public:
  TavrelModel(uint32_t base, const Inputs& in)
      : base_(base),
        ad_(in, 16, SpanOfRangeJumper(in.at("range"))),
        pit_({in.at("counter0_hz"), in.at("counter1_hz"), in.at("counter2_hz")}) {
    ppi_.pinsA = uint8_t(in.at("pa"));
    ppi_.pinsB = uint8_t(in.at("pb"));
    ppi_.pinsC = uint8_t(in.at("pc"));
  }

  std::optional<uint32_t> Read(int width, uint32_t port, Micros now) override {
    const uint32_t reg = port - base_;
    if (port < base_ || reg > 15) return std::nullopt;
    if (width == 16 && reg == 2) return ad_.Result();
    if (width != 8) return std::nullopt;
    switch (reg) {
      case 0: return channel_;
      case 1: return ad_.Busy(now) ? 1u : 0u;
      case 2: return ad_.Result() & 0xFF;
      case 3: return ad_.Result() >> 8;
      case 8:
      case 9:
      case 10: return ppi_.Read(int(reg - 8));
      default: return reg >= 12 ? pit_.ReadPort(int(reg - 12), now) : std::nullopt;
    }
  }

  void Write(int width, uint32_t port, uint32_t value, Micros now) override {
    const uint32_t reg = port - base_;
    if (port < base_ || reg > 15) return;
    if (width == 16 && reg == 6) {
      da_[daSelect_] = value & 0xFFF;  // the converter takes 12 bits
      return;
    }
    if (width != 8) return;
    switch (reg) {
      case 0:  // selecting a channel starts its conversion
        channel_ = uint8_t(value);
        ad_.Start(Voltage(channel_), now);
        break;
      case 4: daSelect_ = value & 3; break;
      case 8:
      case 9:
      case 10:
      case 11: ppi_.Write(int(reg - 8), uint8_t(value)); break;
      default:
        if (reg >= 12) pit_.WritePort(int(reg - 12), uint8_t(value), now);  // the 8254 at +12..+15
        break;
    }
  }

  std::vector<std::string> Outputs() const override {
    std::vector<std::string> out;
    for (int i = 0; i < 4; ++i) out.push_back("D/A " + std::to_string(i) + " code " + std::to_string(da_[i]));
    out.push_back("8255 control " + Hex(ppi_.Control()) + ", pins out A " + Hex(ppi_.OutputA()) + " B " +
                  Hex(ppi_.OutputB()) + " C " + Hex(ppi_.OutputC()));
    return out;
  }

 private:
  double Voltage(uint8_t code) const {
    if (code < 16) return ad_.Input(code);
    if (code < 24) return ad_.Input(code - 16) - ad_.Input(code - 8);
    return 0.0;
  }

  uint32_t base_;
  AnalogInputs ad_;
  Ppi8255 ppi_;
  Pit8254 pit_;
  uint8_t channel_ = 0;
  int daSelect_ = 0;
  uint32_t da_[4] = {0, 0, 0, 0};
};

}  // namespace

BoardType TavrelBoardType() {
  Inputs defaults = AnalogInputDefaults(16);
  defaults["range"] = 5;  // input range jumper: 5 for ±5 V, 10 for ±10 V, 0 for 0 to 10 V
  defaults["pa"] = 0x5A;
  defaults["pb"] = 0xC3;
  defaults["pc"] = 0x96;
  defaults["counter0_hz"] = 1000;
  defaults["counter1_hz"] = 250;
  defaults["counter2_hz"] = 40;
  return {"tavrel", 0x100, defaults, [](uint32_t base, const Inputs& in) -> std::unique_ptr<BoardModel> {
            return std::make_unique<TavrelModel>(base, in);
          }};
}

}  // namespace varnhost::sim
