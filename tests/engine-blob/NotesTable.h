#pragma once

// A small in-memory table whose BLOB chains the tests damage byte by byte:
// Notes with Code (integer, unique index ByCode) and Notes (memo, stored
// plain), BLOB block size 64, so 46 data bytes a block. Rows appended in a
// fresh table take their blocks in order: a 100-byte note blocks 1-3, a
// 30-byte note block 4, a 60-byte note blocks 5-6.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/core/BlobChainChecker.h"
#include "engine/core/ByteOrder.h"
#include "engine/core/DataCursor.h"
#include "engine/core/DataSession.h"
#include "engine/core/FieldCodec.h"
#include "tests/support/Descriptors.h"

namespace keel::testing {

class NotesTable : public ::testing::Test {
 protected:
  static constexpr const char* kFolder = "mem/notes/";
  static constexpr std::int32_t kBlockSize = 64;

  void SetUp() override {
    TDataDirectory folder(session_, kFolder, true);
    folder.createTable(Request());
  }

  static TableCreateRequest Request() {
    TableCreateRequest request;
    request.name = "Notes";
    request.blobBlockSize = kBlockSize;
    FieldDescriptor notes = Field("Notes", FieldType::Blob);
    notes.subtype = FieldSubtype::Memo;
    request.fields = {Field("Code", FieldType::Integer), notes};
    request.secondaries = {Index("ByCode", {1}, true)};
    return request;
  }

  static std::string Note(std::int32_t code, std::size_t length) {
    std::string text;
    while (text.size() < length) text += "note " + std::to_string(code) + "; ";
    return text.substr(0, length);
  }

  std::unique_ptr<TDataCursor> cursor(TDataDirectory& folder) { return std::make_unique<TDataCursor>(folder, "Notes"); }

  // Appends rows (code, note length) in this order.
  void append(const std::vector<std::pair<std::int32_t, std::size_t>>& rows) {
    TDataDirectory folder(session_, kFolder, true);
    auto notes = cursor(folder);
    for (const auto& [code, length] : rows) {
      std::vector<std::uint8_t> row = notes->newRow();
      std::vector<std::uint8_t> value(4);
      StoreI32(value.data(), code);
      SetFieldValue(row, notes->field("Code"), value, 0);
      const std::string note = Note(code, length);
      notes->append(row, {{2, std::vector<std::uint8_t>(note.begin(), note.end())}});
    }
  }

  // Code and note of every row in the order of index `slot`.
  std::vector<std::pair<std::int32_t, std::string>> rowsInOrder(int slot) {
    TDataDirectory folder(session_, kFolder, true);
    auto notes = cursor(folder);
    notes->setIndex(slot);
    std::vector<std::pair<std::int32_t, std::string>> rows;
    std::vector<std::uint8_t> row(notes->rowSize());
    for (Nav r = notes->first(); r == Nav::Ok; r = notes->next()) {
      notes->currentRow(row);
      const std::vector<std::uint8_t> note = notes->blobValue(row, notes->field("Notes"));
      rows.emplace_back(LoadI32(GetField(row, notes->field("Code")).bytes.data()), std::string(note.begin(), note.end()));
    }
    return rows;
  }

  std::vector<std::string> blobProblems() {
    TDataDirectory folder(session_, kFolder, true);
    auto notes = cursor(folder);
    return TBlobChainChecker::CheckTable(notes->table().data(), *notes->table().blob());
  }

  // Raw edits behind the engine's back.
  void patch(const std::string& file, std::uint64_t offset, std::int32_t value, std::size_t width = 4) {
    TEngineFile raw(engine_.files(), std::string(kFolder) + file, {.inMemory = true});
    raw.open();
    std::uint8_t bytes[4];
    StoreI32(bytes, value);
    raw.write(offset, bytes, width);
  }
  // Block header fields: previous 0, next 4, used 8 (2 bytes), stamp 10, total 14.
  void patchBlock(std::int32_t block, std::size_t at, std::int32_t value) {
    patch("Notes.blb", BlobFileHeader::kSize + static_cast<std::uint64_t>(block - 1) * kBlockSize + at, value,
          at == BlobBlockHeader::kUsedAt ? 2 : 4);
  }
  std::int32_t blockField(std::int32_t block, std::size_t at) {
    TEngineFile raw(engine_.files(), std::string(kFolder) + "Notes.blb", {.inMemory = true});
    raw.open();
    std::uint8_t bytes[4] = {};
    raw.read(BlobFileHeader::kSize + static_cast<std::uint64_t>(block - 1) * kBlockSize + at, bytes,
             at == BlobBlockHeader::kUsedAt ? 2 : 4);
    return LoadI32(bytes);
  }
  // Offset in Notes.dat of byte `at` of row k.
  std::uint64_t rowOffset(std::int64_t k, std::size_t at) {
    TDataDirectory folder(session_, kFolder, true);
    auto notes = cursor(folder);
    const TDataFile& data = notes->table().data();
    return data.dataStart() + static_cast<std::uint64_t>(k - 1) * data.rowSize() + at;
  }
  // Where the Notes field's BLOB reference lies in a row.
  std::size_t referenceAt() {
    TDataDirectory folder(session_, kFolder, true);
    return static_cast<std::size_t>(cursor(folder)->field("Notes").offset) + 1;
  }

  TDataEngine engine_;
  TDataSession session_{engine_};
};

}  // namespace keel::testing
