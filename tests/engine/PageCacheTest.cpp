#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

#include "engine/core/BufferedFile.h"
#include "engine/core/ByteOrder.h"
#include "engine/core/FaultyFile.h"

namespace keel {
namespace {

// A minimal unit file: an 8-byte header holding the unit count, 16-byte units.
class TUnitFile final : public TBufferedFile {
 public:
  // A temporary file parks up to `parkingBudget` bytes of the units it evicts
  // from file offset `parkingStart` on.
  TUnitFile(TFileRegistry& registry, const std::string& path, size_t capacity, size_t readAhead,
            size_t parkingBudget = 0, uint64_t parkingStart = 0)
      : TBufferedFile(registry, path, {.temporary = parkingBudget > 0, .inMemory = true}),
        capacity_(capacity),
        readAhead_(readAhead),
        parkingBudget_(parkingBudget),
        parkingStart_(parkingStart) {
    resetCapacity();
  }
  size_t unitSize() const override { return 16; }
  uint64_t dataStart() const override { return 8; }
  int64_t unitCount() const override { return count_; }
  size_t cacheCapacity() const override { return capacity_; }
  size_t readAheadLimit() const override { return readAhead_; }
  uint64_t parkingStart() const override { return parkingStart_; }
  size_t parkingBudget() const override { return parkingBudget_; }
  void empty() {
    discardUnits();
    truncate(dataStart());
    count_ = 0;
    headerChanged_ = true;
  }
  int headerWrites = 0;

 protected:
  ErrorCode corruptError() const override { return ErrorCode::KEEL_FILECORRUPT; }
  void countAppendedUnit() override {
    ++count_;
    headerChanged_ = true;
  }
  size_t growthStep() const override { return 2; }
  size_t mruProbeCount() const override { return 2; }
  void writeHeader(bool force) override {
    if (!force && !headerChanged_) return;
    uint8_t header[8] = {};
    StoreI64(header, count_);
    write(0, header, sizeof header);
    headerChanged_ = false;
    ++headerWrites;
  }
  bool headerModified() const override { return headerChanged_; }

 private:
  size_t capacity_;
  size_t readAhead_;
  size_t parkingBudget_;
  uint64_t parkingStart_;
  int64_t count_ = 0;
  bool headerChanged_ = false;
};

class PageCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    faulty_ = std::make_shared<TFaultyFile>("mem/units");
    registry_.adopt(faulty_);
  }
  std::unique_ptr<TUnitFile> openFile(size_t capacity, size_t readAhead, size_t parkingBudget = 0,
                                      uint64_t parkingStart = 0) {
    auto file =
        std::make_unique<TUnitFile>(registry_, "mem/units", capacity, readAhead, parkingBudget, parkingStart);
    file->open();
    return file;
  }
  std::vector<uint8_t> onDisk(int64_t n) {
    std::vector<uint8_t> bytes(16);
    faulty_->readAt(8 + static_cast<uint64_t>(n - 1) * 16, bytes.data(), 16);
    return bytes;
  }
  static void fill(TBuffer& buffer, uint8_t value) { std::fill(buffer.data(), buffer.data() + 16, value); }

  TFileRegistry registry_;
  std::shared_ptr<TFaultyFile> faulty_;
};

TEST_F(PageCacheTest, AgreesWithAModelUnderRandomOperations) {
  auto file = openFile(5, 3);
  std::map<int64_t, uint8_t> model;  // unit -> fill byte
  std::mt19937 random(1234);
  for (int step = 0; step < 4000; ++step) {
    int op = static_cast<int>(random() % 10);
    int64_t count = file->unitCount();
    if (op < 2 || count == 0) {
      TPinnedUnit unit = file->appendUnit();
      uint8_t value = static_cast<uint8_t>(random());
      fill(*unit, value);
      model[count + 1] = value;
    } else if (op < 7) {
      int64_t n = 1 + static_cast<int64_t>(random() % static_cast<uint64_t>(count));
      auto direction = random() % 2 ? ReadDirection::Forward : ReadDirection::Backward;
      TPinnedUnit unit = file->getUnit(n, 1 + random() % 4, direction);
      ASSERT_EQ(unit->data()[0], model[n]) << "unit " << n << " at step " << step;
      ASSERT_EQ(unit->data()[15], model[n]);
      if (op == 6) {
        uint8_t value = static_cast<uint8_t>(random());
        fill(*unit, value);
        unit.markModified();
        model[n] = value;
      }
    } else if (op < 9) {
      file->writeBack();
      for (auto [n, value] : model) ASSERT_EQ(onDisk(n), std::vector<uint8_t>(16, value)) << n;
    } else {
      file->writeBack();
      file->dropCache();
      EXPECT_EQ(file->cachedUnitCount(), 0u);
    }
    ASSERT_LE(file->cachedUnitCount(), file->currentCapacity());
  }
  file->writeBack();
  EXPECT_EQ(faulty_->size(), 8 + model.size() * 16);
}

TEST_F(PageCacheTest, ReadsAheadInOneRequestAndMergesAdjacentWrites) {
  auto file = openFile(240, 120);
  for (int i = 0; i < 10; ++i) fill(*file->appendUnit(), static_cast<uint8_t>(i + 1));
  faulty_->clearCalls();
  file->writeBack();
  // Ten appended units go out as one run, then the header.
  ASSERT_EQ(faulty_->count(TFaultyFile::Op::Write), 2u);
  EXPECT_EQ(faulty_->calls()[0].offset, 8u);
  EXPECT_EQ(faulty_->calls()[0].length, 160u);

  file->dropCache();
  faulty_->clearCalls();
  EXPECT_EQ(file->getUnit(1, 10)->data()[0], 1);
  for (int64_t n = 2; n <= 10; ++n) EXPECT_EQ(file->getUnit(n)->data()[0], n);
  ASSERT_EQ(faulty_->count(TFaultyFile::Op::Read), 1u);
  EXPECT_EQ(faulty_->calls()[0].length, 160u);

  // Units 3 and 4 changed, 7 changed: two runs.
  for (int64_t n : {3, 4, 7}) {
    TPinnedUnit unit = file->getUnit(n);
    fill(*unit, 0xEE);
    unit.markModified();
  }
  faulty_->clearCalls();
  file->writeBack();
  ASSERT_EQ(faulty_->count(TFaultyFile::Op::Write), 3u);
  EXPECT_EQ(faulty_->calls()[0].offset, 8u + 2 * 16);
  EXPECT_EQ(faulty_->calls()[0].length, 32u);
  EXPECT_EQ(faulty_->calls()[1].offset, 8u + 6 * 16);
  EXPECT_EQ(faulty_->calls()[2].offset, 0u);  // header after the units
}

TEST_F(PageCacheTest, BackwardReadAheadEndsAtTheWantedUnit) {
  auto file = openFile(16, 4);
  for (int i = 0; i < 8; ++i) fill(*file->appendUnit(), static_cast<uint8_t>(i + 1));
  file->writeBack();
  file->dropCache();
  faulty_->clearCalls();
  file->getUnit(6, 10, ReadDirection::Backward);
  ASSERT_EQ(faulty_->count(TFaultyFile::Op::Read), 1u);
  EXPECT_EQ(faulty_->calls()[0].offset, 8u + 2 * 16);  // units 3..6
  EXPECT_EQ(faulty_->calls()[0].length, 64u);
  EXPECT_TRUE(file->isCached(3));
  EXPECT_FALSE(file->isCached(7));
}

TEST_F(PageCacheTest, PinnedUnitsAreNeverEvictedAndTheCacheGrows) {
  auto file = openFile(2, 1);
  std::vector<TPinnedUnit> held;
  for (int i = 0; i < 5; ++i) held.push_back(file->appendUnit());
  EXPECT_EQ(file->cachedUnitCount(), 5u);
  EXPECT_GE(file->currentCapacity(), 5u);
  // A modified unit still pinned at write back is a fault of the caller.
  EXPECT_THROW(file->writeBack(), EKeelEngineError);
  held.clear();
  file->writeBack();
  file->shrinkCache();
  EXPECT_LE(file->cachedUnitCount(), 2u);
}

TEST_F(PageCacheTest, UnitNumbersOutsideTheFileAreCorruptBuffers) {
  auto file = openFile(4, 1);
  fill(*file->appendUnit(), 1);
  for (int64_t n : {0, -1, 3}) {
    try {
      file->getUnit(n);
      FAIL() << n;
    } catch (const EKeelEngineError& error) {
      EXPECT_EQ(error.code(), ErrorCode::KEEL_FILECORRUPT);
    }
  }
}

// Making room for a run read from disk writes and evicts a changed unit the
// run covers: the unit must come back as changed, not as the run read it.
TEST_F(PageCacheTest, AChangedUnitEvictedWhileARunIsPlacedKeepsItsChange) {
  auto file = openFile(2, 4);
  for (int i = 1; i <= 4; ++i) fill(*file->appendUnit(), static_cast<uint8_t>(i));
  file->writeBack();
  file->dropCache();
  {
    TPinnedUnit unit = file->getUnit(3);
    fill(*unit, 0xEE);
    unit.markModified();
  }
  EXPECT_EQ(file->getUnit(1, 4)->data()[0], 1);
  EXPECT_EQ(file->getUnit(3)->data()[0], 0xEE);
  file->writeBack();
  EXPECT_EQ(onDisk(3), std::vector<uint8_t>(16, 0xEE));
}

TEST_F(PageCacheTest, AFailedWriteLeavesUnitsModifiedForTheNextWriteBack) {
  auto file = openFile(4, 1);
  fill(*file->appendUnit(), 9);
  faulty_->failCall(1, EIO);
  EXPECT_THROW(file->writeBack(), EKeelEngineError);
  file->writeBack();
  EXPECT_EQ(onDisk(1), std::vector<uint8_t>(16, 9));
}

// A temporary file keeps what it evicts in memory while its budget lasts and
// writes the rest; every unit reads back as last written, in either direction
// and across the border between parked and written units.
TEST_F(PageCacheTest, ATemporaryFileParksEvictedUnitsUpToItsBudget) {
  for (const size_t budget : {size_t{1} << 20, size_t{300}}) {
    auto file = openFile(4, 3, budget);
    std::map<int64_t, uint8_t> model;
    std::mt19937 random(99);
    for (int step = 0; step < 3000; ++step) {
      const int64_t count = file->unitCount();
      if (random() % 4 == 0 || count == 0) {
        const uint8_t value = static_cast<uint8_t>(random() % 3 == 0 ? 0 : random());
        fill(*file->appendUnit(), value);
        model[count + 1] = value;
        continue;
      }
      const int64_t n = 1 + static_cast<int64_t>(random() % static_cast<uint64_t>(count));
      const auto direction = random() % 2 ? ReadDirection::Forward : ReadDirection::Backward;
      TPinnedUnit unit = file->getUnit(n, 1 + random() % 4, direction);
      ASSERT_EQ(unit->data()[0], model[n]) << "budget " << budget << ", unit " << n << " at step " << step;
      ASSERT_EQ(unit->data()[15], model[n]);
      if (random() % 3 == 0) {
        const uint8_t value = static_cast<uint8_t>(random());
        fill(*unit, value);
        unit.markModified();
        model[n] = value;
      }
    }
    file->writeBack();
    if (budget > 300) {
      EXPECT_EQ(faulty_->size(), 8u) << "only the header reached the file";
    } else {
      EXPECT_GT(faulty_->size(), 8u + 16 * 100) << "the units past the budget went to the file";
    }
    file->dropCache();
    for (const auto& [n, value] : model) ASSERT_EQ(file->getUnit(n)->data()[7], value) << n;

    // Emptied, the file forgets its parked units: new ones read as written.
    file->empty();
    fill(*file->appendUnit(), 0xAB);
    file->writeBack();
    file->dropCache();
    EXPECT_EQ(file->getUnit(1)->data()[0], 0xAB);
  }
}

// Room for three parked units: the cache of two evicts units 1 and 2 first,
// and they stay parked; later runs outgrow the budget and go to the file. A
// read from the file that reaches back over the parked units takes their
// parked images, not what the file holds there.
TEST_F(PageCacheTest, AReadFromTheFileTakesTheParkedImagesOfTheUnitsItCovers) {
  auto file = openFile(2, 8, 3 * (20 + 64));
  for (int i = 1; i <= 8; ++i) fill(*file->appendUnit(), static_cast<uint8_t>(i));
  file->writeBack();
  EXPECT_EQ(faulty_->size(), 8u + 8 * 16) << "the later units were written, with a gap before them";
  file->dropCache();
  file->getUnit(5, 5, ReadDirection::Backward);
  for (int64_t n = 1; n <= 8; ++n) EXPECT_EQ(file->getUnit(n)->data()[0], n);

  file->dropCache();
  EXPECT_EQ(file->getUnit(1, 2)->data()[0], 1);
  EXPECT_TRUE(file->isCached(2)) << "parked units come back in runs, as read-ahead asks";
}

// Small results stay with the system's cache: only units from the parking
// start on are parked.
TEST_F(PageCacheTest, ATemporaryFileWritesItsFirstUnitsAndParksThoseBeyond) {
  auto file = openFile(2, 4, 1 << 20, 8 + 4 * 16);
  for (int i = 1; i <= 8; ++i) fill(*file->appendUnit(), static_cast<uint8_t>(i));
  file->writeBack();
  EXPECT_EQ(faulty_->size(), 8u + 4 * 16) << "units 1..4 written, 5..8 parked";
  EXPECT_EQ(onDisk(4), std::vector<uint8_t>(16, 4));
  file->dropCache();
  for (int64_t n = 8; n >= 1; --n) EXPECT_EQ(file->getUnit(n, 4, ReadDirection::Backward)->data()[0], n);
}

}  // namespace
}  // namespace keel
