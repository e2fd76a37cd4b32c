// Simulated Jostra digital-input board: eight input ports from its base address (352 as
// delivered), each carrying eight input pins; writes go nowhere.
#include "varnhost/sim/boards.h"

namespace varnhost::sim {
namespace {

constexpr int kPorts = 8;

class JostraModel : public BoardModel {
 public:
  JostraModel(uint32_t base, const Inputs& in) : base_(base) {
    for (int k = 0; k < kPorts; ++k) pins_[k] = ByteInput(in, "jostra", "port" + std::to_string(k));
  }

  std::optional<uint32_t> Read(int width, uint32_t port, Micros) override {
    if (width != 8 || port < base_ || port - base_ >= kPorts) return std::nullopt;
    return pins_[port - base_];
  }

  void Write(int, uint32_t, uint32_t, Micros) override {}

 private:
  uint32_t base_;
  uint8_t pins_[kPorts] = {};
};

}  // namespace

BoardType JostraBoardType() {
  Inputs defaults;  // port0 .. port7: the pins of each input port, bit 0 the lowest channel
  const uint8_t pins[kPorts] = {0x81, 0x42, 0x24, 0x18, 0xF0, 0x0F, 0x55, 0xAA};
  for (int k = 0; k < kPorts; ++k) defaults["port" + std::to_string(k)] = pins[k];
  return {"jostra", 352, defaults, [](uint32_t base, const Inputs& in) -> std::unique_ptr<BoardModel> {
            return std::make_unique<JostraModel>(base, in);
          }};
}

}  // namespace varnhost::sim
