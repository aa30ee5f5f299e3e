// Index pages: the four leaf packings byte for byte, interior entries with and
// without subtree counts, capacities, and pages whose bytes cannot be right.

#include <gtest/gtest.h>

#include <random>

#include "IndexFileBuilder.h"
#include "IndexFixtures.h"
#include "engine/core/IndexPage.h"

namespace keel {
namespace {

using index_testing::BuiltEntry;
using index_testing::BuiltIndex;
using index_testing::BuiltPage;
using index_testing::Hex;
using index_testing::IndexFileBuilder;

constexpr size_t kPage = 1024;

IndexPageGeometry Geometry(size_t keySize, bool unique, uint8_t mode, bool statistics = true) {
  return {kPage, keySize, unique ? 0u : 4u, static_cast<IndexCompression>(mode), statistics};
}

std::vector<uint8_t> PageImage(const std::string& hex) {
  std::vector<uint8_t> image = Hex(hex);
  image.resize(kPage, 0);
  return image;
}

struct PackingCase {
  const char* what;
  uint8_t mode;
  bool unique;
  std::vector<std::string> keys;  // hex, in order
  const char* pageHex;            // header and entries; rows are 7, 9
};

// SMITH and SMYTH in a 12-byte string key (null byte, 11 text bytes); the
// non-unique cases add RecordIDs 5 and 6.
const char* kSmith = "01 53 4D 49 54 48 00 00 00 00 00 00";
const char* kSmyth = "01 53 4D 59 54 48 00 00 00 00 00 00";

class Packing : public ::testing::TestWithParam<PackingCase> {};

TEST_P(Packing, PacksAndUnpacksExactly) {
  const PackingCase& c = GetParam();
  const size_t keySize = Hex(c.keys[0]).size();
  TIndexPage page(Geometry(keySize, c.unique, c.mode), 1);
  page.setType(IndexPageType::Leaf);
  const int32_t rows[] = {7, 9};
  for (size_t i = 0; i < c.keys.size(); ++i) page.insert(static_cast<int>(i), Hex(c.keys[i]), rows[i], 0);
  std::vector<uint8_t> written(kPage);
  page.encode(written);
  EXPECT_EQ(written, PageImage(c.pageHex)) << c.what;

  TIndexPage read(Geometry(keySize, c.unique, c.mode), 1);
  ASSERT_TRUE(read.decode(PageImage(c.pageHex))) << c.what;
  ASSERT_EQ(read.count(), static_cast<int>(c.keys.size()));
  for (size_t i = 0; i < c.keys.size(); ++i) {
    const auto key = read.key(static_cast<int>(i));
    EXPECT_EQ(std::vector<uint8_t>(key.begin(), key.end()), Hex(c.keys[i])) << c.what << " entry " << i;
    EXPECT_EQ(read.pointer(static_cast<int>(i)), rows[i]);
  }
}

INSTANTIATE_TEST_SUITE_P(
    LeafModes, Packing,
    ::testing::Values(PackingCase{"none",
                                  0,
                                  true,
                                  {kSmith, kSmyth},
                                  "02 0200 00000000 00000000 0000"
                                  " 01534D495448000000000000 07000000 01534D595448000000000000 09000000"},
                      PackingCase{"duplicate byte: SMYTH shares 3 bytes",
                                  1,
                                  true,
                                  {kSmith, kSmyth},
                                  "02 0200 00000000 00000000 1F00"
                                  " 00 01534D495448000000000000 07000000 03 595448000000000000 09000000"},
                      PackingCase{"trailing byte",
                                  2,
                                  true,
                                  {kSmith, kSmyth},
                                  "02 0200 00000000 00000000 1600"
                                  " 06 01534D495448 07000000 06 01534D595448 09000000"},
                      PackingCase{"full",
                                  3,
                                  true,
                                  {kSmith, kSmyth},
                                  "02 0200 00000000 00000000 1500"
                                  " 00 06 01534D495448 07000000 03 06 595448 09000000"},
                      PackingCase{"full, non-unique: zeros before the RecordID go, the RecordID stays",
                                  3,
                                  false,
                                  {std::string(kSmith) + "80000005", std::string(kSmyth) + "80000006"},
                                  "02 0200 00000000 00000000 1D00"
                                  " 00 06 01534D495448 80000005 07000000 03 06 595448 80000006 09000000"},
                      PackingCase{"full, non-unique, d reaching into the RecordID: no t",
                                  3,
                                  false,
                                  {std::string(kSmith) + "80000005", std::string(kSmith) + "80000006"},
                                  "02 0200 00000000 00000000 1700"
                                  " 00 06 01534D495448 80000005 07000000 0F 00 06 09000000"},
                      PackingCase{"trailing byte, RecordID of zeros is never cut",
                                  2,
                                  false,
                                  {std::string(kSmith) + "00000000", std::string(kSmyth) + "00000000"},
                                  "02 0200 00000000 00000000 1E00"
                                  " 06 01534D495448 00000000 07000000 06 01534D595448 00000000 09000000"}));

TEST(IndexPage, InteriorEntriesCarrySubtreeCountsUnlessStatisticsAreOff) {
  for (bool statistics : {true, false}) {
    TIndexPage page(Geometry(5, true, 3, statistics), 4);
    page.setType(IndexPageType::InteriorRoot);
    page.insert(0, Hex("01 80000001"), 2, 40);
    page.insert(1, Hex("01 80000029"), 3, 17);
    std::vector<uint8_t> written(kPage);
    page.encode(written);
    const char* expected =
        statistics
            ? "00 0200 00000000 00000000 0000 0180000001 02000000 28000000 0180000029 03000000 11000000"
            : "00 0200 00000000 00000000 0000 0180000001 02000000 0180000029 03000000";
    EXPECT_EQ(written, PageImage(expected)) << statistics;
    TIndexPage read(Geometry(5, true, 3, statistics), 4);
    ASSERT_TRUE(read.decode(written));
    EXPECT_EQ(read.pointer(1), 3);
    EXPECT_EQ(read.keyCount(), statistics ? 57 : 0);
  }
}

TEST(IndexPage, CapacitiesFollowPageAndKeySize) {
  EXPECT_EQ(Geometry(5, true, 0).leafCapacity(), 112u);     // 1011 / 9
  EXPECT_EQ(Geometry(5, true, 0).interiorCapacity(), 77u);  // 1011 / 13
  EXPECT_EQ(Geometry(5, true, 0, false).interiorCapacity(), 112u);
  EXPECT_EQ(Geometry(341, false, 0).interiorCapacity(), 2u);  // largest key a 1024-byte page takes
}

// Random pages in every mode, unique and not, must come out as the
// independent builder lays them out, and read back to the same keys.
TEST(IndexPage, RandomLeavesMatchTheBuilderInEveryMode) {
  std::mt19937 random(1234);
  for (uint8_t mode = 0; mode <= 3; ++mode) {
    for (bool unique : {true, false}) {
      const size_t keySize = unique ? 20 : 24;
      BuiltIndex index;
      index.keySize = static_cast<uint16_t>(keySize);
      index.unique = unique;
      index.compression = mode;
      std::set<std::vector<uint8_t>> keys;
      while (keys.size() < 30) {
        std::vector<uint8_t> key(keySize, 0);
        const size_t used = random() % keySize;  // short keys end in zeros
        for (size_t i = 0; i < used; ++i) key[i] = static_cast<uint8_t>(random() % 3);  // long shared runs
        if (!unique) {
          for (size_t i = keySize - 4; i < keySize; ++i) key[i] = static_cast<uint8_t>(random() % 2);
        }
        keys.insert(key);
      }
      BuiltPage built;
      TIndexPage page(Geometry(keySize, unique, mode), 1);
      page.setType(IndexPageType::Leaf);
      int32_t row = 1;
      for (const auto& key : keys) {
        page.insert(page.count(), key, row, 0);
        built.entries.push_back({key, row++, 0});
      }
      std::vector<uint8_t> written(kPage);
      page.encode(written);
      const auto expected = IndexFileBuilder(kPage).pageBytes(index, built);
      ASSERT_EQ(written, expected) << "mode " << int(mode) << " unique " << unique;
      TIndexPage read(Geometry(keySize, unique, mode), 1);
      ASSERT_TRUE(read.decode(expected));
      for (int i = 0; i < read.count(); ++i) {
        const auto key = read.key(i);
        EXPECT_EQ(std::vector<uint8_t>(key.begin(), key.end()), built.entries[static_cast<size_t>(i)].key);
      }
    }
  }
}

TEST(IndexPage, BytesThatCannotBeAPageAreRefused) {
  const std::string good = "02 0200 00000000 00000000 1500 00 06 01534D495448 07000000 03 06 595448 09000000";
  const struct {
    const char* what;
    std::string hex;
    uint8_t mode;
  } cases[] = {
      {"packed count past the page", "02 0200 00000000 00000000 FFFF", 3},
      {"more entries than the packed bytes hold",
       "02 0300 00000000 00000000 1500 00 06 01534D495448 07000000 03 06 595448 09000000", 3},
      {"packed bytes left over",
       "02 0200 00000000 00000000 1600 00 06 01534D495448 07000000 03 06 595448 09000000 00", 3},
      {"first entry sharing bytes", "02 0100 00000000 00000000 0C00 01 06 534D495448 00 07000000", 3},
      {"d and t longer than the key", "02 0100 00000000 00000000 0900 00 0D 07000000 000000", 3},
      {"more fixed entries than fit", "02 FF00 00000000 00000000 0000", 0},
      {"unknown page type", "07 0000 00000000 00000000 0000", 0},
  };
  TIndexPage sound(Geometry(12, true, 3), 1);
  EXPECT_TRUE(sound.decode(PageImage(good)));
  for (const auto& c : cases) {
    TIndexPage page(Geometry(12, true, c.mode), 1);
    EXPECT_FALSE(page.decode(PageImage(c.hex))) << c.what;
  }
}

}  // namespace
}  // namespace keel
