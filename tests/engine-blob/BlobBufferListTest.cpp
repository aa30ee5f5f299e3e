#include <gtest/gtest.h>

#include <string>

#include "engine/core/BlobBufferList.h"
#include "engine/core/BlobRow.h"
#include "tests/engine-blob/BlobFileFixture.h"
#include "tests/engine-blob/ErrorMatchers.h"
#include "tests/engine-blob/HexBytes.h"

namespace keel {
namespace {

using testing::BlockFields;
using testing::Bytes;
using testing::I32;
using testing::Letters;

FieldDescriptor BlobField(std::uint16_t number, std::uint16_t offset, FieldSubtype subtype, std::uint8_t level) {
  FieldDescriptor field;
  field.number = number;
  field.name = "F" + std::to_string(number);
  field.type = FieldType::Blob;
  field.subtype = subtype;
  field.dataLength = 8;
  field.offset = offset;
  field.compression = level;
  return field;
}

// Rows of 48 bytes: the 25-byte row header, an integer at 25, a memo
// compressed at level 9 at 30 and a plain binary BLOB at 39.
class BlobBufferListTest : public testing::BlobFileFixture {
protected:
  void SetUp() override {
    FieldDescriptor id;
    id.number = 1;
    id.name = "Id";
    id.type = FieldType::Integer;
    id.dataLength = 4;
    id.offset = 25;
    fields_ = {id, BlobField(2, 30, FieldSubtype::Memo, 9), BlobField(3, 39, FieldSubtype::None, 0)};
    file_ = create(512);
  }
  const FieldDescriptor& memo() const { return fields_[1]; }
  const FieldDescriptor& binary() const { return fields_[2]; }
  std::unique_ptr<TBlobBufferList> makeList() {
    return std::make_unique<TBlobBufferList>(*file_, [this] { return lastStamp_ = NextCounter(lastStamp_); });
  }
  static std::vector<std::uint8_t> NewRow() { return std::vector<std::uint8_t>(48, 0); }
  std::int32_t handleIn(const std::vector<std::uint8_t>& row, const FieldDescriptor& field) {
    return ReadBlobReference(row, field, "People").firstBlock;
  }
  // Sets a field's whole value and posts the row.
  void store(std::vector<std::uint8_t>& row, const FieldDescriptor& field, const std::vector<std::uint8_t>& value) {
    auto list = makeList();
    list->open(field, row, BlobMode::ReadWrite);
    const std::int32_t handle = handleIn(row, field);
    list->truncate(handle, 0);
    list->write(handle, 0, value);
    list->post(fields_, row);
    file_->writeBack();
  }
  std::vector<std::uint8_t> load(std::vector<std::uint8_t> row, const FieldDescriptor& field) {
    auto list = makeList();
    std::vector<std::uint8_t> value(list->open(field, row, BlobMode::Read));
    EXPECT_EQ(list->read(handleIn(row, field), 0, value), value.size());
    return value;
  }

  std::vector<FieldDescriptor> fields_;
  std::unique_ptr<TBlobFile> file_;
  std::int32_t lastStamp_ = 0;
};

TEST_F(BlobBufferListTest, PostWritesChangedValuesUnderNewStampsAndSetsNullBytes) {
  auto row = NewRow();
  auto list = makeList();
  EXPECT_EQ(list->open(binary(), row, BlobMode::ReadWrite), 0u);
  EXPECT_EQ(list->open(memo(), row, BlobMode::ReadWrite), 0u);
  EXPECT_LT(handleIn(row, binary()), 0) << "the row buffer holds a handle while open";
  list->write(handleIn(row, binary()), 0, Bytes("hello"));
  list->write(handleIn(row, binary()), 7, Bytes("!"));  // the gap is zero-filled
  list->post(fields_, row);
  file_->writeBack();

  EXPECT_EQ(list->openValues(), 0u);
  EXPECT_EQ(ReadBlobReference(row, binary(), "People"), (BlobReference{1, 1}));
  EXPECT_EQ(row[39], 1) << "binary value present";
  EXPECT_EQ(ReadBlobReference(row, memo(), "People"), (BlobReference{0, 0})) << "unchanged memo untouched";
  EXPECT_EQ(row[30], 0);
  EXPECT_EQ(load(row, binary()), Bytes(std::string("hello\0\0!", 8)));
}

TEST_F(BlobBufferListTest, CompressedMemoOfTenThousandLettersRoundTrips) {
  auto row = NewRow();
  const auto value = Bytes(std::string(10000, 'G'));
  store(row, memo(), value);
  const auto fields = BlockFields(disk(), 512, 1);
  EXPECT_GT(fields[4], 0);
  EXPECT_LT(fields[4], 100) << "stored length is the small zlib stream";
  EXPECT_EQ(file_->blockCount(), 1);
  EXPECT_EQ(load(row, memo()), value);
}

TEST_F(BlobBufferListTest, EmptiedMemoIsNullWithLengthZero) {
  auto row = NewRow();
  store(row, memo(), Bytes("some words"));
  ASSERT_EQ(row[30], 1);
  store(row, memo(), {});
  EXPECT_EQ(row[30], 0) << "an empty value is NULL";
  EXPECT_EQ(BlockFields(disk(), 512, 1)[4], 0) << "total length 0, no zlib stream";
  EXPECT_TRUE(load(row, memo()).empty());
}

TEST_F(BlobBufferListTest, SecondOpenSharesHandleAndCountsOpens) {
  auto row = NewRow();
  store(row, binary(), Letters(700));
  const BlobReference stored = ReadBlobReference(row, binary(), "People");

  auto list = makeList();
  EXPECT_EQ(list->open(binary(), row, BlobMode::Read), 700u);
  const std::int32_t handle = handleIn(row, binary());
  EXPECT_EQ(list->open(binary(), row, BlobMode::Read), 700u);
  EXPECT_EQ(handleIn(row, binary()), handle);
  EXPECT_EQ(list->openValues(), 1u);

  std::vector<std::uint8_t> tail(50);
  EXPECT_EQ(list->read(handle, 680, tail), 20u) << "fewer bytes at the end";
  EXPECT_EQ(list->read(handle, 900, tail), 0u);

  list->free(handle, row);
  EXPECT_EQ(list->size(handle), 700u) << "still open once";
  list->free(handle, row);
  EXPECT_EQ(ReadBlobReference(row, binary(), "People"), stored) << "reference back in the row";
  EXPECT_KEEL_ERROR(list->size(handle), ErrorCode::KEEL_INVALIDBLOBHANDLE);
  EXPECT_KEEL_ERROR(list->free(handle, row), ErrorCode::KEEL_INVALIDBLOBHANDLE);
}

TEST_F(BlobBufferListTest, AtMost128OpenValues) {
  auto list = makeList();
  std::vector<std::vector<std::uint8_t>> rows(129, NewRow());
  for (std::size_t i = 0; i < 128; ++i) list->open(binary(), rows[i], BlobMode::Read);
  EXPECT_KEEL_ERROR(list->open(binary(), rows[128], BlobMode::Read), ErrorCode::KEEL_OPENBLOBLIMIT);
  list->free(handleIn(rows[0], binary()), rows[0]);
  EXPECT_NO_THROW(list->open(binary(), rows[128], BlobMode::Read));
}

TEST_F(BlobBufferListTest, HandleMisuseGivesItsError) {
  auto row = NewRow();
  auto mine = makeList();
  auto other = makeList();
  mine->open(binary(), row, BlobMode::Read);
  const std::int32_t handle = handleIn(row, binary());

  EXPECT_KEEL_ERROR(other->open(binary(), row, BlobMode::Read), ErrorCode::KEEL_INVALIDBLOBOFFSET);
  EXPECT_KEEL_ERROR(other->post(fields_, row), ErrorCode::KEEL_INVALIDBLOBOFFSET);
  EXPECT_KEEL_ERROR(other->size(handle), ErrorCode::KEEL_INVALIDBLOBHANDLE);
  EXPECT_KEEL_ERROR(mine->size(12), ErrorCode::KEEL_INVALIDBLOBHANDLE);
  EXPECT_KEEL_ERROR(mine->write(handle, 0, Bytes("x")), ErrorCode::KEEL_OSEACCES);
  EXPECT_KEEL_ERROR(mine->truncate(handle, 0), ErrorCode::KEEL_OSEACCES);
  EXPECT_KEEL_ERROR(mine->open(fields_[0], row, BlobMode::Read), ErrorCode::KEEL_INVALIDBLOBOFFSET);

  // Reopening for writing upgrades the shared open.
  mine->open(binary(), row, BlobMode::ReadWrite);
  EXPECT_NO_THROW(mine->write(handle, 0, Bytes("x")));
}

TEST_F(BlobBufferListTest, CancelDropsChangesAndFreedChangeWaitsForPost) {
  auto row = NewRow();
  store(row, binary(), Bytes("original"));
  const auto posted = row;

  auto list = makeList();
  list->open(binary(), row, BlobMode::ReadWrite);
  list->write(handleIn(row, binary()), 0, Bytes("CHANGED!"));
  list->cancel(fields_, row);
  EXPECT_EQ(row, posted);
  EXPECT_EQ(list->openValues(), 0u);
  EXPECT_EQ(load(row, binary()), Bytes("original"));

  list->open(binary(), row, BlobMode::ReadWrite);
  const std::int32_t handle = handleIn(row, binary());
  list->write(handle, 0, Bytes("kept"));
  list->free(handle, row);
  EXPECT_EQ(handleIn(row, binary()), handle) << "a changed value is not lost by closing its stream";
  list->post(fields_, row);
  file_->writeBack();
  EXPECT_EQ(load(row, binary()), Bytes("keptinal"));
}

TEST_F(BlobBufferListTest, ValueRewrittenByOthersIsReadAfterReloadingRow) {
  auto row = NewRow();
  store(row, binary(), Bytes("first"));
  const auto stale = row;
  store(row, binary(), Bytes("second"));  // another cursor's post
  const auto current = row;

  auto list = makeList();
  auto readRow = stale;
  EXPECT_EQ(list->open(binary(), readRow, BlobMode::Read, [&] { return std::optional(current); }), 6u);
  std::vector<std::uint8_t> value(6);
  list->read(handleIn(readRow, binary()), 0, value);
  EXPECT_EQ(value, Bytes("second"));

  auto deletedRow = stale;
  EXPECT_KEEL_ERROR(list->open(binary(), deletedRow, BlobMode::Read,
                               [] { return std::optional<std::vector<std::uint8_t>>(); }),
                    ErrorCode::KEEL_KEYORRECDELETED);
  auto neverMatches = stale;
  EXPECT_KEEL_ERROR(list->open(binary(), neverMatches, BlobMode::Read, [&] { return std::optional(stale); }),
                    ErrorCode::KEEL_MEMOCORRUPT);
}

TEST_F(BlobBufferListTest, DeletedRowKeepsChainsForNextRowInItsSlot) {
  auto row = NewRow();
  store(row, binary(), Letters(1000));  // blocks 1..3
  store(row, memo(), Bytes("memo"));    // block 4
  ASSERT_EQ(file_->blockCount(), 4);

  EmptyBlobsOfDeletedRow(*file_, fields_, row, [this] { return lastStamp_ = NextCounter(lastStamp_); });
  file_->writeBack();
  EXPECT_EQ(row[39], 0);
  EXPECT_EQ(row[30], 0);
  EXPECT_EQ(BlockFields(disk(), 512, 1), (std::vector<int>{0, 2, 494, lastStamp_, 0}));
  EXPECT_TRUE(load(row, binary()).empty());

  // The new row's value is already open when the slot is chosen.
  auto reused = NewRow();
  auto list = makeList();
  list->open(binary(), reused, BlobMode::ReadWrite);
  list->write(handleIn(reused, binary()), 0, Letters(900));
  list->adoptSlotChains(fields_, reused, row);
  EXPECT_EQ(ReadBlobReference(reused, memo(), "People").firstBlock, 4) << "unopened value takes the chain too";
  list->post(fields_, reused);
  file_->writeBack();
  EXPECT_EQ(file_->blockCount(), 4) << "the slot's chain is reused";
  EXPECT_EQ(ReadBlobReference(reused, binary(), "People").firstBlock, 1);
  EXPECT_EQ(load(reused, binary()), Letters(900));
  EXPECT_TRUE(load(reused, memo()).empty());

  auto appended = NewRow();
  store(appended, memo(), {});
  EXPECT_EQ(file_->blockCount(), 4) << "no block for an empty value";
  store(appended, memo(), Bytes("x"));
  EXPECT_EQ(file_->blockCount(), 5) << "first non-empty write allocates";
}

TEST_F(BlobBufferListTest, DamagedCompressedValueGives15002) {
  auto row = NewRow();
  BlobReference reference;
  file_->writeChain(reference, Bytes("not a zlib stream"), 1);
  WriteBlobReference(row, memo(), reference, "People");
  row[30] = 1;
  auto list = makeList();
  EXPECT_KEEL_ERROR(list->open(memo(), row, BlobMode::Read), ErrorCode::KEEL_UNCOMPRESS);
  EXPECT_EQ(list->openValues(), 0u);
  EXPECT_EQ(handleIn(row, memo()), reference.firstBlock) << "row left as it was";
}

}  // namespace
}  // namespace keel
