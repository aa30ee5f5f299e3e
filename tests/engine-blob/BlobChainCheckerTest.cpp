#include <gtest/gtest.h>

#include "tests/engine-blob/NotesTable.h"

namespace keel {
namespace {

class BlobChainCheckerTest : public testing::NotesTable {
 protected:
  void SetUp() override {
    NotesTable::SetUp();
    append({{1, 100}, {2, 30}, {3, 60}});  // blocks 1-3, 4, 5-6
  }
};

TEST_F(BlobChainCheckerTest, ChainsAsTheEngineLeavesThemAreSound) {
  {  // a shorter value keeps its surplus blocks linked; a deleted row keeps its chain
    TDataDirectory folder(session_, kFolder, true);
    auto notes = cursor(folder);
    notes->setIndex(TDataCursor::kPhysicalOrder);
    std::vector<std::uint8_t> row(notes->rowSize());
    ASSERT_EQ(notes->first(), Nav::Ok);
    notes->currentRow(row);
    notes->modify(row, {{2, std::vector<std::uint8_t>(10, 'x')}});
    ASSERT_EQ(notes->next(), Nav::Ok);
    notes->currentRow(row);
    notes->remove(row);
  }
  EXPECT_EQ(blobProblems(), std::vector<std::string>{});
  EXPECT_EQ(blockField(1, BlobBlockHeader::kNextAt), 2) << "the fixture keeps a tail behind row 1";
}

struct BlockDamage {
  const char* what;
  std::int32_t block;
  std::size_t at;
  std::int32_t value;
  const char* report;
};

class BlobChainDamageTest : public BlobChainCheckerTest, public ::testing::WithParamInterface<BlockDamage> {};

TEST_P(BlobChainDamageTest, OneDamagedBlockIsReportedPrecisely) {
  const BlockDamage& damage = GetParam();
  patchBlock(damage.block, damage.at, damage.value);
  const std::vector<std::string> problems = blobProblems();
  ASSERT_EQ(problems.size(), 1u) << ::testing::PrintToString(problems);
  EXPECT_EQ(problems[0].rfind(damage.report, 0), 0u) << problems[0];
}

using H = BlobBlockHeader;
INSTANTIATE_TEST_SUITE_P(
    Blocks, BlobChainDamageTest,
    ::testing::Values(
        BlockDamage{"next out of the file", 2, H::kNextAt, 99, "row 1 field Notes: block 2 links to block 99 outside the file"},
        BlockDamage{"next into the chain", 2, H::kNextAt, 1, "row 1 field Notes: block 2 links back into the chain at block 1"},
        BlockDamage{"chain ends early", 2, H::kNextAt, 0, "row 1 field Notes: chain ends at block 2 with 8 bytes missing"},
        BlockDamage{"previous link", 3, H::kPreviousAt, 1, "row 1 field Notes: block 3 links back to block 1, not block 2"},
        BlockDamage{"first with previous", 4, H::kPreviousAt, 3, "row 2 field Notes: first block 4 links back to block 3"},
        BlockDamage{"stamp", 4, H::kStampAt, 77, "row 2 field Notes: block 4 carries stamp 77, the row "},
        BlockDamage{"used short", 2, H::kUsedAt, 10, "row 1 field Notes: block 2 holds 10 bytes where the value needs 46"},
        BlockDamage{"used past the block", 6, H::kUsedAt, 47, "row 3 field Notes: block 6 uses 47 bytes of 46"},
        BlockDamage{"length", 1, H::kTotalLengthAt, 100000, "row 1 field Notes: length 100000 cannot fit the file"}),
    [](const ::testing::TestParamInfo<BlockDamage>& info) {
      std::string name = info.param.what;
      for (char& c : name) c = c == ' ' ? '_' : c;
      return name;
    });

TEST_F(BlobChainCheckerTest, BlocksInTwoChainsOrInAChainAndTheFreeChainAreReported) {
  // Row 2 takes row 3's chain, stamp and all; the free chain starts at row 1's last block.
  patch("Notes.dat", rowOffset(2, referenceAt()), 5);
  patch("Notes.dat", rowOffset(2, referenceAt() + 4), blockField(5, H::kStampAt));
  patch("Notes.blb", BlobFileHeader::kFreeHeadAt, 3);
  EXPECT_EQ(blobProblems(), (std::vector<std::string>{"row 3 field Notes: block 5 is also in the chain of row 2 field Notes",
                                                      "free-block chain holds block 3 of row 1 field Notes"}));
}

}  // namespace
}  // namespace keel
