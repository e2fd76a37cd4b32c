// Simulated Orbisk multifunction board (0x160 as delivered): a converter behind 8 inputs, 12-bit or
// 16-bit by a jumper, over a span set by jumpers; two 12-bit D/A outputs loaded through a data
// byte; 8 digital inputs and 8 digital outputs.
#include "varnhost/sim/boards.h"

namespace varnhost::sim {
namespace {

Span SpanOfJumpers(const Inputs& in) {
  const double range = in.at("range");
  if (!(range > 0)) throw BoardError("orbisk input \"range\" (the top of the span in volts) is above 0");
  return in.at("unipolar") != 0 ? Span{0.0, range} : Span{-range, range};
}

int BitsOfJumper(double resolution) {
  if (resolution == 12 || resolution == 16) return int(resolution);
  throw BoardError("orbisk input \"resolution\" is 12 or 16");
}

class OrbiskModel : public BoardModel {
 public:
  OrbiskModel(uint32_t base, const Inputs& in)
      : base_(base), ad_(in, 8, SpanOfJumpers(in), 15, BitsOfJumper(in.at("resolution"))), di_(uint8_t(in.at("di"))) {}

  std::optional<uint32_t> Read(int width, uint32_t port, Micros) override {
    const uint32_t reg = port - base_;
    if (port < base_ || reg > 15) return std::nullopt;
    if (width == 8 && reg == 0) return di_;
    if (width == 16 && reg == 4) return ad_.Result();
    return std::nullopt;
  }

  void Write(int width, uint32_t port, uint32_t value, Micros now) override {
    const uint32_t reg = port - base_;
    if (port < base_ || reg > 15 || width != 8) return;
    switch (reg) {
      case 0: channel_ = value & 7; break;  // multiplexer
      case 2:                               // channel again: starts a conversion on it
        channel_ = value & 7;
        ad_.Start(ad_.Input(int(channel_)), now);
        break;
      case 4: data_ = uint8_t(value); break;
      case 6: do_ = data_; break;
      case 8: pending_ = (pending_ & 0xF00) | data_; break;
      case 10: pending_ = (pending_ & 0x0FF) | uint32_t(data_ & 0x0F) << 8; break;
      case 12: da_[0] = pending_; break;
      case 14: da_[1] = pending_; break;
      default: break;
    }
  }

  std::vector<std::string> Outputs() const override {
    return {"D/A 0 code " + std::to_string(da_[0]), "D/A 1 code " + std::to_string(da_[1]),
            "digital outputs " + Hex(do_)};
  }

 private:
  uint32_t base_;
  AnalogInputs ad_;
  uint8_t di_;
  uint32_t channel_ = 0;
  uint8_t data_ = 0, do_ = 0;
  uint32_t pending_ = 0;
  uint32_t da_[2] = {0, 0};
};

}  // namespace

BoardType OrbiskBoardType() {
  Inputs defaults = AnalogInputDefaults(8);
  defaults["range"] = 5;  // span jumpers: ±range, or 0 to range when unipolar
  defaults["unipolar"] = 0;
  defaults["resolution"] = 12;  // converter jumper: 12 or 16 bits
  defaults["di"] = 0xA5;
  return {"orbisk", 0x160, defaults, [](uint32_t base, const Inputs& in) -> std::unique_ptr<BoardModel> {
            return std::make_unique<OrbiskModel>(base, in);
          }};
}

}  // namespace varnhost::sim
