#include <gtest/gtest.h>

#include <zlib.h>

#include <string>

#include "engine/core/Compression.h"
#include "tests/engine-blob/ErrorMatchers.h"
#include "tests/engine-blob/HexBytes.h"

namespace keel {
namespace {

using testing::Bytes;

std::vector<std::uint8_t> PseudoRandom(std::size_t n) {
  std::vector<std::uint8_t> bytes(n);
  std::uint32_t state = 12345;
  for (auto& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(state >> 16);
  }
  return bytes;
}

TEST(Compression, StartCapacityRoundsDownToWhole256) {
  EXPECT_EQ(CompressStartCapacity(1), 256u);        // 268
  EXPECT_EQ(CompressStartCapacity(1000), 1280u);    // 1367
  EXPECT_EQ(CompressStartCapacity(10000), 11264u);  // 11267
}

TEST(Compression, RoundTripsAtEveryLevelIncludingIncompressibleAndLargeValues) {
  const std::vector<std::vector<std::uint8_t>> values = {
      Bytes("x"),
      Bytes(std::string(10000, 'a')),
      PseudoRandom(5000),      // grows when compressed: the output buffer must grow
      PseudoRandom(200000),    // more than one decompression step
      Bytes(std::string(300000, 'q')),
  };
  for (int level = 1; level <= 9; ++level) {
    for (const auto& value : values) {
      const auto stored = CompressBlobValue(value, level);
      EXPECT_EQ(DecompressBlobValue(stored), value) << "level " << level << " size " << value.size();
    }
  }
}

TEST(Compression, StoresOneStandardZlibStream) {
  const auto value = Bytes(std::string(10000, 'M'));
  const auto stored = CompressBlobValue(value, 9);
  EXPECT_LT(stored.size(), 64u);
  EXPECT_EQ(stored[0], 0x78);  // RFC 1950 header: deflate, 32K window
  EXPECT_EQ((stored[0] * 256 + stored[1]) % 31, 0);

  // Any zlib reader gets the value back.
  std::vector<std::uint8_t> out(value.size());
  uLongf outLength = out.size();
  ASSERT_EQ(uncompress(out.data(), &outLength, stored.data(), stored.size()), Z_OK);
  EXPECT_EQ(out, value);
}

TEST(Compression, EmptyValueIsStoredEmpty) {
  EXPECT_TRUE(CompressBlobValue({}, 9).empty());
  EXPECT_TRUE(DecompressBlobValue({}).empty());
}

TEST(Compression, DamagedStreamsRaise15002) {
  const auto good = CompressBlobValue(Bytes(std::string(4000, 'z') + "tail"), 6);
  auto flipped = good;
  flipped[flipped.size() / 2] ^= 0xFF;
  auto badChecksum = good;
  badChecksum.back() ^= 1;
  auto trailing = good;
  trailing.push_back(0);
  const std::vector<std::vector<std::uint8_t>> damaged = {
      Bytes("not a zlib stream"),
      std::vector<std::uint8_t>(good.begin(), good.end() - 5),  // cut short
      flipped,
      badChecksum,
      trailing,
  };
  for (const auto& stored : damaged) {
    EXPECT_KEEL_ERROR(DecompressBlobValue(stored), ErrorCode::KEEL_UNCOMPRESS);
  }
}

TEST(Compression, BadLevelRaises15001) {
  EXPECT_KEEL_ERROR(CompressBlobValue(Bytes("abc"), 42), ErrorCode::KEEL_COMPRESS);
}

}  // namespace
}  // namespace keel
