// The simulated chips behave like the real ones where the drivers depend on it.
#include <gtest/gtest.h>

#include "varnhost/sim/i8254.h"
#include "varnhost/sim/i8255.h"

using namespace varnhost::sim;

namespace {
uint16_t ReadBoth(Pit8254& pit, int i, Micros now) {
  const uint8_t low = pit.ReadCounter(i, now);
  return uint16_t(pit.ReadCounter(i, now) << 8 | low);
}
}  // namespace

TEST(Pit8254, ALatchCommandIsIgnoredWhileTheLatchedCountIsUnread) {
  Pit8254 pit({1000, 1000, 1000});  // 1 kHz: one count per millisecond
  pit.WriteControl(0x00, 10000);    // latch counter 0 at 10 ms
  pit.WriteControl(0x40, 10000);    // and counter 1
  ReadBoth(pit, 0, 10000);
  pit.WriteControl(0x00, 50000);  // counter 0 was read: latched anew at 50 ms
  pit.WriteControl(0x40, 50000);  // counter 1 still holds its 10 ms count: ignored
  EXPECT_EQ(ReadBoth(pit, 0, 60000), uint16_t(-50));
  EXPECT_EQ(ReadBoth(pit, 1, 60000), uint16_t(-10));
  EXPECT_EQ(ReadBoth(pit, 1, 60000), uint16_t(-60));  // not latched: the live count
}

TEST(Pit8254, RateGeneratorCountsDownFromItsLoadAndReloads) {
  Pit8254 pit({1e6, 0, 0});  // 1 MHz: one count per microsecond
  pit.WriteControl(0x34, 0);
  pit.WriteCounter(0, 0x05, 0);
  pit.WriteCounter(0, 0x00, 100);  // count 5 loaded at 100 us
  EXPECT_EQ(pit.Mode(0), 2);
  EXPECT_EQ(pit.Count(0, 100), 5);
  EXPECT_EQ(pit.Count(0, 104), 1);
  EXPECT_EQ(pit.Count(0, 105), 5);
}

TEST(Pit8254, ReadBackLatchesTheSelectedCounters) {
  Pit8254 pit({1000, 1000, 1000});
  pit.WriteControl(0xC0 | 0x10 | 0x08, 3000);  // counts of counter 2, status not asked
  EXPECT_EQ(ReadBoth(pit, 2, 9000), uint16_t(-3));
  EXPECT_EQ(ReadBoth(pit, 0, 9000), uint16_t(-9));
}

TEST(Ppi8255, ControlWordSetsDirectionsAndClearsLatches) {
  Ppi8255 ppi;
  ppi.pinsA = 0x11;
  ppi.pinsB = 0x22;
  ppi.pinsC = 0xAB;
  EXPECT_EQ(ppi.Read(0), 0x11);  // after reset every group is an input
  ppi.Write(3, 0x8A);            // A out, B in, C high in, C low out
  ppi.Write(0, 0x5A);
  ppi.Write(2, 0xFF);
  EXPECT_EQ(ppi.Read(0), 0x5A);
  EXPECT_EQ(ppi.Read(1), 0x22);
  EXPECT_EQ(ppi.Read(2), 0xAF);  // high half from the pins, low half from the latch
  EXPECT_EQ(ppi.OutputC(), 0x0F);
  ppi.Write(3, 0x04);  // bit reset of C2
  EXPECT_EQ(ppi.OutputC(), 0x0B);
  ppi.Write(3, 0x80);  // a new mode word clears the output latches
  EXPECT_EQ(ppi.Read(0), 0x00);
  EXPECT_FALSE(ppi.Read(3).has_value());
}
