#include "varnhost/sim/i8255.h"

namespace varnhost::sim {

std::optional<uint8_t> Ppi8255::Read(int reg) const {
  switch (reg) {
    case 0: return AInput() ? pinsA : latchA_;
    case 1: return BInput() ? pinsB : latchB_;
    case 2: {
      const uint8_t low = CLowInput() ? (pinsC & 0x0F) : (latchC_ & 0x0F);
      const uint8_t high = CHighInput() ? (pinsC & 0xF0) : (latchC_ & 0xF0);
      return static_cast<uint8_t>(low | high);
    }
    default: return std::nullopt;
  }
}

void Ppi8255::Write(int reg, uint8_t value) {
  switch (reg) {
    case 0: latchA_ = value; break;
    case 1: latchB_ = value; break;
    case 2: latchC_ = value; break;
    case 3:
      if (value & 0x80) {
        control_ = value;
        latchA_ = latchB_ = latchC_ = 0;
      } else {
        const uint8_t bit = uint8_t(1u << ((value >> 1) & 7));
        latchC_ = (value & 1) ? latchC_ | bit : latchC_ & ~bit;
      }
      break;
    default: break;
  }
}

}  // namespace varnhost::sim
