// Simulated 8255 parallel interface in mode 0: three ports, port C in two halves, each group input
// or output by the control word. A mode-set word clears the output latches; a word with bit 7 clear
// sets or resets one bit of port C.
#pragma once

#include <cstdint>
#include <optional>

namespace varnhost::sim {

class Ppi8255 {
 public:
  // Input pins as the outside world drives them.
  uint8_t pinsA = 0, pinsB = 0, pinsC = 0;

  std::optional<uint8_t> Read(int reg) const;  // reg 0..3 (A, B, C, control: reads nothing)
  void Write(int reg, uint8_t value);

  bool AInput() const { return control_ & 0x10; }
  bool BInput() const { return control_ & 0x02; }
  bool CLowInput() const { return control_ & 0x01; }
  bool CHighInput() const { return control_ & 0x08; }
  uint8_t Control() const { return control_; }
  // What the chip drives on its output pins (bits of input groups read 0).
  uint8_t OutputA() const { return AInput() ? 0 : latchA_; }
  uint8_t OutputB() const { return BInput() ? 0 : latchB_; }
  uint8_t OutputC() const { return latchC_ & ~((CLowInput() ? 0x0F : 0) | (CHighInput() ? 0xF0 : 0)); }

 private:
  uint8_t control_ = 0x9B;  // after reset: mode 0, every group input
  uint8_t latchA_ = 0, latchB_ = 0, latchC_ = 0;
};

}  // namespace varnhost::sim
