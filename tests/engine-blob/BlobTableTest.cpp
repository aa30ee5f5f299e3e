#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "engine/core/DataCursor.h"
#include "engine/core/DataSession.h"
#include "engine/core/EngineFile.h"
#include "tests/engine-blob/ErrorMatchers.h"
#include "tests/engine-blob/HexBytes.h"

namespace keel {
namespace {

using testing::Bytes;

FieldDescriptor Field(const std::string& name, FieldType type, FieldSubtype subtype = FieldSubtype::None,
                      std::uint8_t compression = 0) {
  FieldDescriptor field;
  field.name = name;
  field.type = type;
  field.subtype = subtype;
  field.compression = compression;
  return field;
}

// A table with BLOB fields made and read through the engine's folders,
// sessions and cursors, in memory: Code (integer), Notes (memo compressed at
// level 9), Photo (binary, plain).
class BlobTableTest : public ::testing::Test {
protected:
  static constexpr const char* kFolder = "mem/tree/";

  void createTable(bool encrypted, std::int32_t blockSize = 512) {
    TDataSession session(engine_);
    TDataDirectory folder(session, kFolder, true);
    TableCreateRequest request;
    request.name = "Notes";
    request.encrypted = encrypted;
    request.password = encrypted ? "Tallow&Wick" : "";
    request.blobBlockSize = blockSize;
    request.fields = {Field("Code", FieldType::Integer), Field("Notes", FieldType::Blob, FieldSubtype::Memo, 9),
                      Field("Photo", FieldType::Blob)};
    folder.createTable(request);
  }

  // A session knowing `passwords`, its folder and a cursor on Notes.
  struct Open {
    std::unique_ptr<TDataSession> session;
    std::unique_ptr<TDataDirectory> folder;
    std::unique_ptr<TDataCursor> cursor;
  };
  Open open(std::initializer_list<const char*> passwords) {
    Open opened;
    opened.session = std::make_unique<TDataSession>(engine_);
    for (const char* password : passwords) opened.session->passwords().add(password);
    opened.folder = std::make_unique<TDataDirectory>(*opened.session, kFolder, true);
    opened.cursor = std::make_unique<TDataCursor>(*opened.folder, "Notes");
    return opened;
  }

  std::vector<std::uint8_t> fileBytes(const std::string& name) {
    TEngineFile raw(engine_.files(), std::string(kFolder) + name, {.inMemory = true});
    raw.open();
    std::vector<std::uint8_t> bytes(raw.size());
    raw.read(0, bytes.data(), bytes.size());
    return bytes;
  }

  static std::vector<std::uint8_t> Photo(std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + 7);
    return bytes;
  }

  TDataEngine engine_;
};

bool Contains(const std::vector<std::uint8_t>& haystack, const std::string& needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

TEST_F(BlobTableTest, EncryptedTableWithBlobsRoundTripsAndHidesItsValues) {
  createTable(true);
  const std::string notes = "Emigrated to Duluth in 1882 with her sister; letters kept by the family.";
  {
    Open writer = open({"Tallow&Wick"});
    std::vector<std::uint8_t> row = writer.cursor->newRow();
    writer.cursor->append(row, {{2, Bytes(notes)}, {3, Photo(1500)}});
  }

  Open reader = open({"someone else's", "Tallow&Wick"});
  ASSERT_EQ(reader.cursor->first(), Nav::Ok);
  std::vector<std::uint8_t> row(reader.cursor->rowSize());
  reader.cursor->currentRow(row);
  EXPECT_EQ(reader.cursor->blobValue(row, reader.cursor->field("Notes")), Bytes(notes));
  EXPECT_EQ(reader.cursor->blobValue(row, reader.cursor->field("Photo")), Photo(1500));

  const std::vector<std::uint8_t> blob = fileBytes("Notes.blb");
  EXPECT_FALSE(Contains(blob, "Emigrated")) << "memo is compressed and encrypted";
  const std::vector<std::uint8_t> signature(blob.begin() + 9, blob.begin() + 25);
  EXPECT_NE(signature, testing::Hex("8A BE 8E 59 23 64 CB 40 3D 71 D2 E3 BC 64 D0 01")) << "the header is encrypted too";
}

TEST_F(BlobTableTest, WrongPasswordNeverOpensTheTable) {
  createTable(true);
  for (const char* wrong : {"tallow&wick", "Tallow"}) {
    SCOPED_TRACE(wrong);
    EXPECT_KEEL_ERROR(open({wrong}), ErrorCode::KEEL_NOTSUFFTABLERIGHTS);
  }
  EXPECT_KEEL_ERROR(open({}), ErrorCode::KEEL_NOTSUFFTABLERIGHTS);
}

TEST_F(BlobTableTest, PlainTableOpensWithoutPasswordAndStoresMemoCompressed) {
  createTable(false, 64);
  Open opened = open({"Tallow&Wick"});
  std::vector<std::uint8_t> row = opened.cursor->newRow();
  const auto letters = Bytes(std::string(10000, 'L'));
  opened.cursor->append(row, {{2, letters}, {3, {}}});
  EXPECT_EQ(opened.cursor->blobValue(row, opened.cursor->field("Notes")), letters);
  EXPECT_LE(opened.cursor->table().blob()->blockCount(), 2) << "10,000 letters in a few bytes";
  EXPECT_TRUE(opened.cursor->blobValue(row, opened.cursor->field("Photo")).empty());
  EXPECT_EQ(row[opened.cursor->field("Photo").offset], 0) << "an empty value is NULL";
}

// A writer that read the BLOB header while another program was between its
// data header and its BLOB header must not trust that header once it holds
// the write lock: it would hand out blocks the other program just used.
TEST_F(BlobTableTest, AWriterReadsEveryHeaderAgainUnderTheWriteLock) {
  createTable(false, 64);
  const std::vector<std::uint8_t> emptyBlobFile = fileBytes("Notes.blb");
  // Letters that compress poorly, so that each memo takes several blocks.
  auto letters = [](unsigned seed) {
    std::string text;
    for (int i = 0; i < 600; ++i) text += static_cast<char>('a' + (seed = seed * 1103515245u + 12345u) % 26);
    return text;
  };
  const std::string first = letters(1), second = letters(2);
  {
    Open other = open({});
    std::vector<std::uint8_t> row = other.cursor->newRow();
    other.cursor->append(row, {{2, Bytes(first)}, {3, {}}});
  }
  const std::vector<std::uint8_t> writtenBlobFile = fileBytes("Notes.blb");
  TEngineFile blob(engine_.files(), std::string(kFolder) + "Notes.blb", {.inMemory = true});
  blob.open();
  // The BLOB header as it stood before the other program's write back ...
  blob.write(0, emptyBlobFile.data(), 512);
  Open late = open({});
  // ... and as that write back left it.
  blob.write(0, writtenBlobFile.data(), 512);
  std::vector<std::uint8_t> row = late.cursor->newRow();
  late.cursor->append(row, {{2, Bytes(second)}, {3, {}}});

  Open reader = open({});
  std::vector<std::string> notes;
  for (Nav at = reader.cursor->first(); at == Nav::Ok; at = reader.cursor->next()) {
    reader.cursor->currentRow(row);
    const std::vector<std::uint8_t> value = reader.cursor->blobValue(row, reader.cursor->field("Notes"));
    notes.emplace_back(value.begin(), value.end());
  }
  EXPECT_EQ(notes, (std::vector<std::string>{first, second}));
}

}  // namespace
}  // namespace keel
