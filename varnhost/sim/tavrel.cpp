// Simulated Tavrel multifunction board, sixteen ports from its base address (0x100 as delivered):
// a 12-bit A/D converter behind a 24-input multiplexer (codes 0..15 single-ended, 16..23 the
// differential pairs 0/8 .. 7/15), four D/A outputs, an 8255 and an 8254 whose counters count
// pulses at their inputs.
#include <cmath>

#include "varnhost/sim/boards.h"

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
      : base_(base), ad_(in, 16, SpanOfRangeJumper(in.at("range"))), pit_(Clocks(in)) {
    SetPins(ppi_, in);
  }

  std::optional<uint32_t> Read(int width, uint32_t port, Micros now) override {
    const uint32_t reg = port - base_;
    if (port < base_ || reg > 15) return std::nullopt;
    if (width == 16 && reg == 2) return ad_.Result();
    if (width != 8) return std::nullopt;
    if (reg >= 8) return reg < 12 ? ReadPpi(ppi_, reg, 8) : ReadPit(pit_, reg, 12, now);
    switch (reg) {
      case 0: return channel_;
      case 1: return ad_.Busy(now) ? 1u : 0u;
      case 2: return ad_.Result() & 0xFF;
      case 3: return ad_.Result() >> 8;
      default: return std::nullopt;
    }
  }

  void Write(int width, uint32_t port, uint32_t value, Micros now) override {
    const uint32_t reg = port - base_;
    if (port < base_ || reg > 15) return;
    if (width == 16 && reg == 6) {
      da_[daSelect_] = value & 0xFFF;  // the converter takes 12 bits
      return;
    }
    if (width != 8 || WritePpi(ppi_, reg, 8, value) || WritePit(pit_, reg, 12, value, now)) return;
    if (reg == 0) {  // selecting a channel starts its conversion
      channel_ = uint8_t(value);
      ad_.Start(Voltage(channel_), now);
    } else if (reg == 4) {
      daSelect_ = value & 3;
    }
  }

  std::vector<std::string> Outputs() const override {
    std::vector<std::string> out;
    for (int i = 0; i < 4; ++i) out.push_back("D/A " + std::to_string(i) + " code " + std::to_string(da_[i]));
    out.push_back(PpiOutputs(ppi_));
    return out;
  }

 private:
  double Voltage(uint8_t code) const {
    if (code < 16) return ad_.Input(code);
    if (code < 24) return ad_.Pair(code - 16);
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
  AddPinDefaults(defaults);
  AddClockDefaults(defaults);
  return {"tavrel", 0x100, defaults, [](uint32_t base, const Inputs& in) -> std::unique_ptr<BoardModel> {
            return std::make_unique<TavrelModel>(base, in);
          }};
}

}  // namespace varnhost::sim
