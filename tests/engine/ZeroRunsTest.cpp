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
}

}  // namespace
}  // namespace keel
