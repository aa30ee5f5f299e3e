#include "engine/core/TableRepair.h"

#include <gtest/gtest.h>

#include "engine/core/IndexSlotStore.h"
#include "engine/core/IndexTreeChecker.h"
#include "tests/engine-blob/ErrorMatchers.h"
#include "tests/engine-blob/NotesTable.h"

namespace keel {
namespace {

using Rows = std::vector<std::pair<std::int32_t, std::string>>;

class TableRepairTest : public testing::NotesTable {
 protected:
  void SetUp() override {
    NotesTable::SetUp();
    append({{1, 100}, {2, 30}, {3, 60}});  // blocks 1-3, 4, 5-6
  }

  TableRepairReport repair(bool withKnownIndexes) {
    TDataDirectory folder(session_, kFolder, true);
    TTableRepair repair(folder, "Notes");
    if (withKnownIndexes) repair.useKnownIndexes({Request().primary, Request().secondaries});
    return repair.run();
  }

  // Every tree sound and holding every active row; the BLOB chains sound.
  void expectSound() {
    EXPECT_EQ(blobProblems(), std::vector<std::string>{});
    TDataDirectory folder(session_, kFolder, true);
    auto notes = cursor(folder);
    TDataTable& table = notes->table();
    for (int slot = 0; slot < table.indexCount(); ++slot) {
      TIndexSlotStore store(table.index(), slot);
      TIndexTreeChecker checker(store, table.access(slot).comparer());
      EXPECT_EQ(checker.check(), std::vector<std::string>{}) << "slot " << slot;
      EXPECT_EQ(checker.keyCount(), table.data().header().activeRowCount) << "slot " << slot;
    }
  }

  void removeIndexFile() { engine_.files().remove(std::string(kFolder) + "Notes.idx", true); }
};

TEST_F(TableRepairTest, KeepsEveryRowAndWholeChainEmptiesBrokenOnesAndTakesNewRows) {
  patchBlock(2, BlobBlockHeader::kNextAt, 99);              // row 1: its chain leaves the file
  patch("Notes.dat", rowOffset(2, referenceAt()), 5);        // row 2: points into row 3's chain
  patch("Notes.dat", 25, 3);                                 // free-row chain into an active row
  patch("Notes.dat", 41, 7);                                 // a wrong live-row count
  patch("Notes.blb", BlobFileHeader::kFreeHeadAt, 5);        // free-block chain into row 3's chain
  removeIndexFile();

  const TableRepairReport report = repair(true);
  ASSERT_EQ(report.lost.size(), 2u) << ::testing::PrintToString(report.lost);
  EXPECT_EQ(report.lost[0], "row 1 field Notes: block 2 links to block 99 outside the file; value emptied");
  EXPECT_EQ(report.lost[1].rfind("row 2 field Notes: block 5 carries stamp", 0), 0u) << report.lost[1];

  const Rows expected{{1, ""}, {2, ""}, {3, Note(3, 60)}};
  EXPECT_EQ(rowsInOrder(0), expected);
  EXPECT_EQ(rowsInOrder(1), expected) << "ByCode is back from the known indexes";
  expectSound();

  append({{4, 200}});  // five blocks: the four freed ones and one more
  EXPECT_EQ(rowsInOrder(1).back(), std::make_pair(4, Note(4, 200)));
  EXPECT_EQ(rowsInOrder(1)[2], std::make_pair(3, Note(3, 60)));
  expectSound();
  TDataDirectory folder(session_, kFolder, true);
  EXPECT_EQ(cursor(folder)->table().blob()->blockCount(), 7);
}

TEST_F(TableRepairTest, WithoutKnownIndexesALostIndexFileLeavesThePrimaryOnly) {
  removeIndexFile();
  const TableRepairReport report = repair(false);
  ASSERT_EQ(report.lost.size(), 1u);
  EXPECT_NE(report.lost[0].find("its secondary indexes are gone"), std::string::npos) << report.lost[0];
  EXPECT_EQ(rowsInOrder(0), (Rows{{1, Note(1, 100)}, {2, Note(2, 30)}, {3, Note(3, 60)}}));
  expectSound();
}

TEST_F(TableRepairTest, KeepsTheIndexesOfAReadableIndexFile) {
  patch("Notes.idx", index_layout::kPagesStart + 20, 0x5A5A5A5A);  // a scribbled page; descriptors intact
  const TableRepairReport report = repair(false);
  EXPECT_EQ(report.lost, std::vector<std::string>{});
  EXPECT_EQ(rowsInOrder(1), (Rows{{1, Note(1, 100)}, {2, Note(2, 30)}, {3, Note(3, 60)}}));
  expectSound();
}

TEST_F(TableRepairTest, ARowWhoseKeyIsTakenIsLeftOutAndReported) {
  patch("Notes.dat", rowOffset(3, kRowRecordIdAt), 1);
  const TableRepairReport report = repair(false);
  EXPECT_EQ(report.lost,
            std::vector<std::string>{"row 3 (RecordID 1) left out: its key in the primary index is that of row 1"});
  EXPECT_EQ(rowsInOrder(1), (Rows{{1, Note(1, 100)}, {2, Note(2, 30)}}));
  expectSound();
}

TEST_F(TableRepairTest, RefusesATableInUseAndChangesNothing) {
  patchBlock(2, BlobBlockHeader::kNextAt, 99);
  TDataDirectory other(session_, kFolder, true);
  auto inUse = cursor(other);
  EXPECT_KEEL_ERROR(repair(true), ErrorCode::KEEL_OSEACCES);
  TTableRepair here(other, "Notes");
  EXPECT_KEEL_ERROR(here.run(), ErrorCode::KEEL_OSEACCES);
  inUse.reset();
  EXPECT_EQ(blobProblems().size(), 1u) << "the damage is still there";
}

}  // namespace
}  // namespace keel
