#include <gtest/gtest.h>

#include <vector>

#include "engine/core/ParkedUnits.h"

namespace keel {
namespace {

// A 16-byte image of one value squeezes to 20 bytes; a parked unit costs 64
// more besides.
std::vector<uint8_t> Image(uint8_t value, size_t size = 16) { return std::vector<uint8_t>(size, value); }

uint8_t Restored(const TParkedUnits& parked, int64_t unit) {
  std::vector<uint8_t> image(16, 0xEE);
  if (!parked.restore(unit, image)) return 0;
  EXPECT_EQ(image, Image(image[0])) << "unit " << unit << " came back whole";
  return image[0];
}

// Units parked in any order, with gaps, below and above the first one, come
// back as last parked; a larger image replacing a smaller one keeps the
// smaller one's room spent.
TEST(ParkedUnits, UnitsComeBackAsLastParkedInAnyOrder) {
  TParkedUnits parked;
  const size_t budget = 1 << 20;
  for (const int64_t unit : {5, 2, 9, 3}) ASSERT_TRUE(parked.park(unit, Image(static_cast<uint8_t>(unit)), budget));
  EXPECT_FALSE(parked.contains(4));
  EXPECT_FALSE(parked.contains(1));
  EXPECT_FALSE(parked.contains(10));
  ASSERT_TRUE(parked.park(5, Image(0), budget));  // smaller: squeezes to 4 bytes
  ASSERT_TRUE(parked.park(2, std::vector<uint8_t>{7, 7, 7, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7}, budget));
  std::vector<uint8_t> two(16);
  ASSERT_TRUE(parked.restore(2, two));
  EXPECT_EQ(two, (std::vector<uint8_t>{7, 7, 7, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7}));
  EXPECT_EQ(Restored(parked, 3), 3);
  EXPECT_EQ(Restored(parked, 9), 9);
  std::vector<uint8_t> five(16, 0xEE);
  ASSERT_TRUE(parked.restore(5, five));
  EXPECT_EQ(five, Image(0));

  parked.forget(9);
  EXPECT_FALSE(parked.contains(9));
  parked.clear();
  for (const int64_t unit : {2, 3, 5}) EXPECT_FALSE(parked.contains(unit));
  ASSERT_TRUE(parked.park(1, Image(1), budget));
  EXPECT_EQ(Restored(parked, 1), 1);
}

// Two units fit a budget of 2 * (20 + 64) bytes; a third is refused and
// nothing of it stays, nor of a parked unit whose larger image is refused.
TEST(ParkedUnits, AnImageBeyondTheBudgetIsRefusedAndNothingOfItKept) {
  TParkedUnits parked;
  const size_t budget = 2 * (20 + 64);
  ASSERT_TRUE(parked.park(1, Image(1), budget));
  ASSERT_TRUE(parked.park(2, Image(2), budget));
  EXPECT_FALSE(parked.park(3, Image(3), budget));
  EXPECT_FALSE(parked.contains(3));
  EXPECT_TRUE(parked.park(2, Image(4), budget)) << "an image no larger takes the old one's room";
  EXPECT_EQ(Restored(parked, 2), 4);
  EXPECT_FALSE(parked.park(1, Image(1, 40), budget));
  EXPECT_FALSE(parked.contains(1)) << "the unit's older image is given up with it";
}

}  // namespace
}  // namespace keel
