// Simulated 8253/8254 counter chip: three 16-bit down-counters clocked by their inputs.
// Control words select a counter's read/load format and mode, or latch its count; an 8254 ignores
// a latch command for a counter whose latched count has not been read. The read-back command
// latches the counts of the counters it selects.
#pragma once

#include <array>
#include <cstdint>

#include "varnhost/sim/board.h"

namespace varnhost::sim {

class Pit8254 {
 public:
  // clockHz: the rate of each counter's clock input.
  explicit Pit8254(std::array<double, 3> clockHz);

  uint8_t ReadCounter(int i, Micros now);
  void WriteCounter(int i, uint8_t value, Micros now);
  void WriteControl(uint8_t value, Micros now);

  uint16_t Count(int i, Micros now) const;  // the counting element right now
  int Mode(int i) const { return counters_[size_t(i)].mode; }
  uint16_t Reload(int i) const { return counters_[size_t(i)].reload; }

 private:
  struct Counter {
    double hz = 0;
    int access = 3;  // 1 low byte, 2 high byte, 3 low then high
    int mode = 0;
    uint16_t reload = 0;
    uint16_t startCount = 0;  // count when it was last loaded
    Micros loadedAt = 0;
    bool latched = false;
    uint16_t latch = 0;
    bool readHigh = false, writeHigh = false;
    uint8_t pendingLow = 0;
  };
  void Latch(int i, Micros now);
  std::array<Counter, 3> counters_;
};

}  // namespace varnhost::sim
