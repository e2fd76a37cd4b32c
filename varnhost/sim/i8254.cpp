#include "varnhost/sim/i8254.h"

#include <cmath>

namespace varnhost::sim {

Pit8254::Pit8254(std::array<double, 3> clockHz) {
  for (size_t i = 0; i < 3; ++i) counters_[i].hz = clockHz[i];
}

uint16_t Pit8254::Count(int i, Micros now) const {
  const Counter& c = counters_[size_t(i)];
  const auto pulses = static_cast<uint64_t>(std::floor(double(now - c.loadedAt) * c.hz / 1e6));
  if (c.mode == 2 || c.mode == 3) {  // rate generator, square wave: N, N-1, ..., 1, N, ...
    const uint64_t n = c.reload == 0 ? 65536 : c.reload;
    return static_cast<uint16_t>(n - pulses % n);
  }
  return static_cast<uint16_t>(c.startCount - pulses);  // the other modes count on through 0
}

void Pit8254::Latch(int i, Micros now) {
  Counter& c = counters_[size_t(i)];
  if (c.latched) return;  // the count latched earlier has not been read: the command is ignored
  c.latched = true;
  c.latch = Count(i, now);
  c.readHigh = false;
}

uint8_t Pit8254::ReadCounter(int i, Micros now) {
  Counter& c = counters_[size_t(i)];
  const uint16_t value = c.latched ? c.latch : Count(i, now);
  bool high = c.access == 2;
  bool last = true;
  if (c.access == 3) {
    high = c.readHigh;
    last = c.readHigh;
    c.readHigh = !c.readHigh;
  }
  if (last) c.latched = false;
  return high ? uint8_t(value >> 8) : uint8_t(value);
}

void Pit8254::WriteCounter(int i, uint8_t value, Micros now) {
  Counter& c = counters_[size_t(i)];
  uint16_t count = 0;
  if (c.access == 1) {
    count = value;
  } else if (c.access == 2) {
    count = uint16_t(value << 8);
  } else if (!c.writeHigh) {
    c.pendingLow = value;
    c.writeHigh = true;
    return;
  } else {
    count = uint16_t(value << 8 | c.pendingLow);
    c.writeHigh = false;
  }
  c.reload = count;
  c.startCount = count;
  c.loadedAt = now;
}

void Pit8254::WriteControl(uint8_t value, Micros now) {
  const int select = value >> 6;
  if (select == 3) {  // read-back: bit 5 clear latches the counts of the counters in bits 1-3
    if (!(value & 0x20))
      for (int i = 0; i < 3; ++i)
        if (value & (2 << i)) Latch(i, now);
    return;
  }
  const int access = (value >> 4) & 3;
  if (access == 0) {
    Latch(select, now);
    return;
  }
  Counter& c = counters_[size_t(select)];
  c.startCount = Count(select, now);  // the counter keeps counting until a new count is loaded
  c.loadedAt = now;
  c.access = access;
  c.mode = (value >> 1) & 7;
  if (c.mode > 5) c.mode -= 4;  // modes 6 and 7 are modes 2 and 3
  c.latched = false;
  c.readHigh = c.writeHigh = false;
}

}  // namespace varnhost::sim
