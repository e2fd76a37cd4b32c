// The settings archive: growth by whole steps, Rewind cutting the array, the mode switches.
#include <gtest/gtest.h>

#include "framework/ownerarchive.h"

using varn::OwnerArchive;

TEST(OwnerArchive, FirstWriteGrowsByAWholeStepOfZeros) {
  OwnerArchive a(1);
  EXPECT_TRUE(a.WriteInt(0x01020304));
  EXPECT_TRUE(a.WriteInt(-2));
  ASSERT_EQ(a.GetSize(), 16534);
  EXPECT_EQ(a.position, 8);
  const uint8_t expected[] = {4, 3, 2, 1, 0xFE, 0xFF, 0xFF, 0xFF, 0, 0};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(a.bytes[i], expected[i]) << i;
  EXPECT_EQ(a.bytes[16533], 0);
}

TEST(OwnerArchive, RewindCutsAtThePositionUnlessItIsZero) {
  OwnerArchive a(1);
  a.WriteInt(7);
  a.Rewind();
  EXPECT_EQ(a.GetSize(), 4);
  EXPECT_EQ(a.position, 0);
  a.Rewind();
  EXPECT_EQ(a.GetSize(), 4);
}

TEST(OwnerArchive, StoreModeGrowsToWhatIsNeededWhenMoreThanAStep) {
  OwnerArchive a(1);
  std::vector<uint8_t> big(20000, 0xAB);
  a.WriteBytes(big.data(), int(big.size()));
  EXPECT_EQ(a.GetSize(), 20000);
  a.WriteInt(1);
  EXPECT_EQ(a.GetSize(), 20000 + 16534);
}

TEST(OwnerArchive, ReadingPastTheEndCopiesNothing) {
  OwnerArchive a(0);
  a.bytes.SetSize(6);
  a.bytes[0] = 0x2A;
  int32_t v = 99;
  EXPECT_TRUE(a.ReadInt(v));
  EXPECT_EQ(v, 0x2A);
  v = 99;
  EXPECT_FALSE(a.ReadInt(v));
  EXPECT_EQ(v, 99);
  EXPECT_EQ(a.position, 4);
  EXPECT_EQ(a.GetSize(), 6);
}

TEST(OwnerArchive, TheModeSwitchesRewind) {
  OwnerArchive a(0);
  a.bytes.SetSize(12);
  int32_t v;
  a.ReadInt(v);
  a.ReadInt(v);
  // Writing in load mode switches to store mode, which cuts the array at the read position.
  a.WriteInt(5);
  EXPECT_EQ(a.storing, 1);
  EXPECT_EQ(a.GetSize(), 8);
  EXPECT_EQ(a.position, 4);
  a.SetStoring(1);  // no change: no rewind
  EXPECT_EQ(a.position, 4);
  EXPECT_TRUE(a.ReadInt(v));  // switching back cuts at 4 and reads from 0
  EXPECT_EQ(v, 5);
  EXPECT_EQ(a.GetSize(), 4);
}

TEST(OwnerArchive, EnsureRoomInEachMode) {
  OwnerArchive a(0);
  a.bytes.SetSize(3);
  EXPECT_TRUE(a.EnsureRoom(3));
  EXPECT_FALSE(a.EnsureRoom(4));
  a.storing = 1;
  EXPECT_TRUE(a.EnsureRoom(4));
  EXPECT_EQ(a.GetSize(), 3 + 16534);
}
