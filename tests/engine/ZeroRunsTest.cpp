#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/core/ZeroRuns.h"

namespace keel {
namespace {

std::vector<uint8_t> Sparse(size_t size, int everyNth) {
  std::vector<uint8_t> image(size);
  std::mt19937 random(7);
  for (size_t i = 0; i < size; ++i) image[i] = random() % everyNth == 0 ? static_cast<uint8_t>(1 + random() % 255) : 0;
  return image;
}

// Zero runs of every length from 1 to 40, each after three other bytes, so
// that they start at every offset within a word.
std::vector<uint8_t> RunsOfEveryLength() {
  std::vector<uint8_t> image;
  for (size_t length = 1; length <= 40; ++length) {
    image.insert(image.end(), {7, 8, 9});
    image.insert(image.end(), length, 0);
  }
  return image;
}

// Every image comes back byte for byte within the room the bound promises,
// including runs longer than one count can say.
TEST(ZeroRuns, ImagesComeBackWhole) {
  const std::vector<std::vector<uint8_t>> images{
      {},
      std::vector<uint8_t>(70000, 0),
      std::vector<uint8_t>(70000, 0x5A),
      Sparse(2001, 2),  // every other byte zero or so: near the worst case
      Sparse(4096, 40),
      {0, 1, 0, 1, 0, 1, 0},
      RunsOfEveryLength(),
  };
  for (const std::vector<uint8_t>& image : images) {
    std::vector<uint8_t> squeezed(SqueezedBound(image.size()));
    const size_t size = static_cast<size_t>(SqueezeZeros(image, squeezed.data()) - squeezed.data());
    EXPECT_LE(size, SqueezedBound(image.size()));
    std::vector<uint8_t> back(image.size(), 0xEE);
    RestoreZeros({squeezed.data(), size}, back);
    EXPECT_EQ(back, image) << "image of " << image.size() << " bytes";
  }
  std::vector<uint8_t> squeezed(SqueezedBound(70000));
  EXPECT_LT(SqueezeZeros(std::vector<uint8_t>(70000, 0), squeezed.data()) - squeezed.data(), 16);
  // Runs of 15 and more zeros cover a whole word wherever they start: 715 of
  // the 820 zeros, less at most 7 of each of those 26 runs, are squeezed out.
  const std::vector<uint8_t> runs = RunsOfEveryLength();
  EXPECT_LE(SqueezeZeros(runs, squeezed.data()) - squeezed.data(), 940 - (715 - 26 * 7) + 4 * 27);
}

}  // namespace
}  // namespace keel
