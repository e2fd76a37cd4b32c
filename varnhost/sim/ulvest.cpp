// Simulated Ulvest A/D board (at 0x300 as delivered: see UlvestBoardType): a 12-bit converter behind
// a 16-input multiplexer, wired single-ended or as 8 differential pairs 0/8 .. 7/15 by a jumper,
// with range and gain jumpers, and an 8254 whose counters the driver only loads.
#include "varnhost/sim/boards.h"

namespace varnhost::sim {
namespace {

class UlvestModel : public BoardModel {
 public:
  UlvestModel(uint32_t base, const Inputs& in)
      : base_(base),
        jumpers_(RangeAndGainJumpers(in, "ulvest")),
        ad_(in, 16, jumpers_.span),
        differential_(in.at("differential") != 0),
        pit_({0, 0, 0}) {}

  std::optional<uint32_t> Read(int width, uint32_t port, Micros) override {
    const uint32_t reg = port - base_;
    if (port < base_ || reg > 11 || width != 8) return std::nullopt;
    switch (reg) {
      case 0: return (ad_.Result() & 0x0F) << 4;  // result bits 0-3 in the upper nibble
      case 1: return ad_.Result() >> 4;           // result bits 4-11
      default: return std::nullopt;
    }
  }

  void Write(int width, uint32_t port, uint32_t value, Micros now) override {
    const uint32_t reg = port - base_;
    if (port < base_ || reg > 11 || width != 8 || WritePit(pit_, reg, 8, value, now)) return;
    if (reg == 0) ad_.Start(Voltage() * jumpers_.gain, now);
    if (reg == 2) channel_ = uint8_t(value) & 0x0F;
    // +1: the driver writes 0 there before each conversion; nothing on the board depends on it.
  }

  std::vector<std::string> Outputs() const override {
    std::vector<std::string> out;
    for (int i = 0; i < 3; ++i)
      out.push_back("8254 counter " + std::to_string(i) + " mode " + std::to_string(pit_.Mode(i)) + ", count " +
                    Hex(pit_.Reload(i)));
    return out;
  }

 private:
  double Voltage() const {
    if (!differential_) return ad_.Input(channel_);
    return ad_.Pair(channel_);
  }

  uint32_t base_;
  RangeAndGain jumpers_;
  AnalogInputs ad_;
  bool differential_;
  Pit8254 pit_;
  uint8_t channel_ = 0;
};

}  // namespace

// The driver starts a new device at 0x200 but shows "300" as its base address, so the first
// SvrSetProperty with the shown texts, which every configuration makes, puts it at 0x300: the
// jumpers sit where a configured driver looks for the board.
BoardType UlvestBoardType() {
  Inputs defaults = AnalogInputDefaults(16);
  AddRangeAndGainDefaults(defaults);
  defaults["differential"] = 0;  // wiring jumper: 1 for the 8 differential pairs
  return {"ulvest", 0x300, defaults, [](uint32_t base, const Inputs& in) -> std::unique_ptr<BoardModel> {
            return std::make_unique<UlvestModel>(base, in);
          }};
}

}  // namespace varnhost::sim
