// Simulated Wexlor multifunction input board, thirteen ports from its base (0x200 as delivered): a
// 12-bit converter with a done flag behind two banks of eight inputs, range and gain jumpers, an
// 8255 and an 8254 whose counters count pulses at their inputs.
#include "varnhost/sim/boards.h"

namespace varnhost::sim {
namespace {

class WexlorModel : public BoardModel {
 public:
  WexlorModel(uint32_t base, const Inputs& in)
      : base_(base), jumpers_(RangeAndGainJumpers(in, "wexlor")), ad_(in, 16, jumpers_.span), pit_(Clocks(in)) {
    SetPins(ppi_, in);
  }

  std::optional<uint32_t> Read(int width, uint32_t port, Micros now) override {
    const uint32_t reg = port - base_;
    if (port < base_ || reg > 12 || width != 8) return std::nullopt;
    if (reg >= 4) return reg < 8 ? ReadPpi(ppi_, reg, 4) : ReadPit(pit_, reg, 8, now);
    switch (reg) {
      case 0: return ad_.Result() >> 4;           // result bits 4-11
      case 1: return (ad_.Result() & 0x0F) << 4;  // result bits 0-3 in the upper nibble
      case 2: return ad_.Busy(now) ? 0u : 1u;     // bit 0: done
      default: return std::nullopt;
    }
  }

  void Write(int width, uint32_t port, uint32_t value, Micros now) override {
    const uint32_t reg = port - base_;
    if (port < base_ || reg > 12 || width != 8 || WritePpi(ppi_, reg, 4, value) || WritePit(pit_, reg, 8, value, now))
      return;
    if (reg == 0) ad_.Start(Voltage() * jumpers_.gain, now);
    if (reg == 12) select_ = uint8_t(value);
  }

  std::vector<std::string> Outputs() const override { return {PpiOutputs(ppi_)}; }

 private:
  // Channel select: bit 4 enables bank one (inputs 0..7), bit 5 bank two (8..15), bits 0-2 the input.
  double Voltage() const {
    const int input = select_ & 7;
    switch (select_ & 0x30) {
      case 0x10: return ad_.Input(input);
      case 0x20: return ad_.Input(8 + input);
      default: return 0.0;  // no bank, or both at once: nothing sensible at the converter
    }
  }

  uint32_t base_;
  RangeAndGain jumpers_;
  AnalogInputs ad_;
  Ppi8255 ppi_;
  Pit8254 pit_;
  uint8_t select_ = 0;
};

}  // namespace

BoardType WexlorBoardType() {
  Inputs defaults = AnalogInputDefaults(16);
  AddRangeAndGainDefaults(defaults);
  AddPinDefaults(defaults);
  AddClockDefaults(defaults);
  return {"wexlor", 0x200, defaults, [](uint32_t base, const Inputs& in) -> std::unique_ptr<BoardModel> {
            return std::make_unique<WexlorModel>(base, in);
          }};
}

}  // namespace varnhost::sim
