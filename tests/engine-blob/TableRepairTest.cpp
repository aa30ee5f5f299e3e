#include "engine/core/TableRepair.h"

#include <gtest/gtest.h>

#include "engine/core/IndexSlotStore.h"
#include "engine/core/IndexTreeChecker.h"
#include "engine/core/TableVerifier.h"
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

  std::vector<std::string> verify() {
    TDataDirectory folder(session_, kFolder, true);
    return TTableVerifier::Check(cursor(folder)->table());
  }
  void cut(const std::string& file, std::uint64_t size) {
    TEngineFile raw(engine_.files(), std::string(kFolder) + file, {.inMemory = true});
    raw.open();
    raw.truncate(size);
  }
  std::uint64_t fileSize(const std::string& file) {
    TEngineFile raw(engine_.files(), std::string(kFolder) + file, {.inMemory = true});
    raw.open();
    return raw.size();
  }
  const Rows kThreeNotes{{1, Note(1, 100)}, {2, Note(2, 30)}, {3, Note(3, 60)}};

  static bool Mentions(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; });
  }
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

// Counters the rows determine are never trusted: a next-row number that
// hides rows, or one past the end of the file, loses none of them, and the
// rows it hid keep their BLOB chains (a new row does not take them).
TEST_F(TableRepairTest, ADamagedNextRowNumberHidesNoRowAndFreesNoChain) {
  for (const std::int32_t damaged : {2, 0, -7, 90}) {
    SCOPED_TRACE(damaged);
    patch("Notes.dat", 29, damaged);
    const TableRepairReport report = repair(false);
    // A count past the file cannot be told from rows that were lost with its end.
    const std::vector<std::string> lost{"the data header counts 89 rows, the file holds 3 whole ones"};
    EXPECT_EQ(report.lost, damaged > 4 ? lost : std::vector<std::string>{});
    EXPECT_TRUE(Mentions(report.rebuilt, "next row number " + std::to_string(damaged) + " set to 4"))
        << ::testing::PrintToString(report.rebuilt);
    EXPECT_EQ(rowsInOrder(1), kThreeNotes);
    EXPECT_EQ(verify(), std::vector<std::string>{});
  }
  append({{4, 100}});
  EXPECT_EQ(rowsInOrder(1), (Rows{{1, Note(1, 100)}, {2, Note(2, 30)}, {3, Note(3, 60)}, {4, Note(4, 100)}}));
  expectSound();
}

TEST_F(TableRepairTest, ACutDataFileKeepsEveryWholeRowBeforeTheCut) {
  const std::uint64_t end = rowOffset(3, 17);
  cut("Notes.dat", end);
  const TableRepairReport report = repair(false);
  ASSERT_EQ(report.lost.size(), 1u) << ::testing::PrintToString(report.lost);
  EXPECT_EQ(report.lost[0].rfind("row 3 left out: the data file ends inside it (17 of ", 0), 0u) << report.lost[0];
  EXPECT_EQ(rowsInOrder(1), (Rows{{1, Note(1, 100)}, {2, Note(2, 30)}}));
  EXPECT_EQ(fileSize("Notes.dat"), rowOffset(3, 0)) << "the part of a row is cut off";
  EXPECT_EQ(verify(), std::vector<std::string>{});
  append({{4, 60}});  // the cut row's chain was freed and is taken again
  EXPECT_EQ(rowsInOrder(1).back(), std::make_pair(4, Note(4, 60)));
  expectSound();
}

// A slot that was never written (zeros where a cut file was extended) and a
// row whose bytes changed since it was written are not rows to keep.
TEST_F(TableRepairTest, RowsWhoseContentsDoNotMatchTheirHashAreLeftOutAndNamed) {
  cut("Notes.dat", rowOffset(6, 0));  // two slots of zeros after row 3
  patch("Notes.dat", 29, 6);
  patch("Notes.dat", rowOffset(2, 26), 0x7777);  // row 2's Code
  const TableRepairReport report = repair(false);
  EXPECT_EQ(report.lost, (std::vector<std::string>{
                             "row 2 (RecordID 2) left out: its contents do not match its RecordHash",
                             "row 4 left out: it holds nothing but zero bytes",
                             "row 5 left out: it holds nothing but zero bytes"}));
  EXPECT_EQ(rowsInOrder(1), (Rows{{1, Note(1, 100)}, {3, Note(3, 60)}}));
  EXPECT_EQ(verify(), std::vector<std::string>{});
}

TEST_F(TableRepairTest, HeaderFieldsTheFileDeterminesAreMended) {
  struct Damage {
    const char* file;
    std::uint64_t offset;
    std::int32_t value;
    std::size_t width;
    const char* mended;
  };
  const std::vector<Damage> damages{
      {"Notes.dat", 8, 0x5A, 1, "data header: version 90 set to 6"},
      {"Notes.dat", 9, 0x12345678, 4, "data header: engine signature restored"},
      {"Notes.dat", 45, 0x5A5A, 2, "data header: row size 23130 set to "},
      {"Notes.dat", 47, 0x5A5A, 2, "data header: field count 23130 set to 2 (the descriptors)"},
      {"Notes.dat", 49, 3, 2, "data header: BLOB field count 3 set to 1"},
      {"Notes.blb", 8, 0x5A, 1, "BLOB header: version 90 set to 6"},
      {"Notes.blb", 9, 0x12345678, 4, "BLOB header: engine signature restored"},
      {"Notes.blb", 29, 99, 4, "BLOB header: next block number 99 set to 7 (the blocks the file holds)"},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.mended);
    patch(damage.file, damage.offset, damage.value, damage.width);
    const TableRepairReport report = repair(false);
    EXPECT_EQ(report.lost, std::vector<std::string>{});
    EXPECT_TRUE(Mentions(report.rebuilt, damage.mended)) << ::testing::PrintToString(report.rebuilt);
    EXPECT_EQ(rowsInOrder(1), kThreeNotes);
    EXPECT_EQ(verify(), std::vector<std::string>{});
  }
}

TEST_F(TableRepairTest, ACutBlobFileEmptiesAndNamesOnlyTheValuesItCut) {
  cut("Notes.blb", BlobFileHeader::kSize + 4 * kBlockSize + 10);  // inside block 5, row 3's first
  const TableRepairReport report = repair(false);
  ASSERT_EQ(report.lost.size(), 1u) << ::testing::PrintToString(report.lost);
  EXPECT_EQ(report.lost[0].rfind("row 3 field Notes: ", 0), 0u) << report.lost[0];
  EXPECT_EQ(rowsInOrder(1), (Rows{{1, Note(1, 100)}, {2, Note(2, 30)}, {3, ""}}));
  EXPECT_EQ(verify(), std::vector<std::string>{});
}

TEST_F(TableRepairTest, AMissingBlobFileIsMadeAnewWithEveryValueEmptiedAndNamed) {
  engine_.files().remove(std::string(kFolder) + "Notes.blb", true);
  const TableRepairReport report = repair(false);
  EXPECT_EQ(report.lost.size(), 3u) << ::testing::PrintToString(report.lost);
  EXPECT_TRUE(Mentions(report.rebuilt, "BLOB file made anew")) << ::testing::PrintToString(report.rebuilt);
  EXPECT_EQ(rowsInOrder(1), (Rows{{1, ""}, {2, ""}, {3, ""}}));
  EXPECT_EQ(verify(), std::vector<std::string>{});
}

}  // namespace
}  // namespace keel
