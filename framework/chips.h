// The two peripheral chips that many of the boards carry: the 8255 parallel interface and the
// 8253/8254 counter. What the drivers do with them is written here once.
#pragma once

#include <cstdint>

namespace varn {

// 8255 mode-set control word. Starts at 0x80 (mode set, mode 0, every group output); a group
// selected as input sets its direction bits.
class Ppi8255ControlWord {
 public:
  static constexpr uint8_t kModeSet = 0x80;
  static constexpr uint8_t kPortAInput = 0x10;
  static constexpr uint8_t kPortBInput = 0x02;
  static constexpr uint8_t kPortCLowInput = 0x01;
  static constexpr uint8_t kPortCHighInput = 0x08;
  static constexpr uint8_t kPortCInput = kPortCLowInput | kPortCHighInput;

  void SetInput(uint8_t groupBits, bool input) { word_ = input ? word_ | groupBits : word_ & ~groupBits; }
  uint8_t Word() const { return word_; }

 private:
  uint8_t word_ = kModeSet;
};

// 8253/8254 counter chip: a control port and three data ports.
namespace pit8254 {

// Control word of counter i: select bits 7-6, read/load bits 5-4, mode bits 3-1, BCD bit 0.
constexpr uint8_t kLowThenHigh = 0x30;
constexpr uint8_t kRateGenerator = 0x04;  // mode 2
constexpr uint8_t SelectCounter(int counter) { return static_cast<uint8_t>(counter << 6); }

// Mode 2, binary, low byte then high byte, start count 0xFFFF: a free-running down-counter.
template <class PortIO>
void StartRateGenerator(const PortIO& io, int controlPort, int dataPort, int counter) {
  io.OutByte(controlPort, SelectCounter(counter) | kLowThenHigh | kRateGenerator);
  io.OutByte(dataPort, 0xFF);
  io.OutByte(dataPort, 0xFF);
}

// Latches counter i alone and reads its count, low byte then high byte. An 8254 ignores a latch
// command for a counter whose latched count has not been read, so each counter is latched right
// before its own two reads, never all three at once. extraBits go into the latch command's low
// bits (don't-care bits some boards set).
template <class PortIO>
uint32_t ReadLatchedCount(const PortIO& io, int controlPort, int dataPort, int counter, uint8_t extraBits = 0) {
  io.OutByte(controlPort, SelectCounter(counter) | extraBits);
  const uint32_t low = io.InByte(dataPort);
  const uint32_t high = io.InByte(dataPort);
  return high * 256 + low;
}

}  // namespace pit8254
}  // namespace varn
