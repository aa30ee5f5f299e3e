#include "engine/core/DataFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <random>

#include "engine/core/ByteOrder.h"
#include "engine/core/FaultyFile.h"
#include "engine/core/FieldCodec.h"
#include "engine/core/PasswordList.h"
#include "tests/engine/TableBytes.h"

namespace keel {
namespace {

using testing::TableBytes;

constexpr uint8_t kString = 1, kInteger = 6;

class DataFileTest : public ::testing::Test {
 protected:
  // Puts `bytes` at the path as a file of the in-memory registry.
  std::shared_ptr<TFaultyFile> place(const std::vector<uint8_t>& bytes, const std::string& path = "db/T.dat") {
    auto file = std::make_shared<TFaultyFile>(path);
    file->writeAt(0, bytes.data(), bytes.size());
    file->clearCalls();
    registry_->adopt(file);
    return file;
  }
  std::unique_ptr<TDataFile> dataFile(const std::string& path = "db/T.dat") {
    return std::make_unique<TDataFile>(*registry_, path, EngineFileFlags{.inMemory = true}, "T", settings_, clock_);
  }
  static std::vector<uint8_t> contents(TBaseFile& file) {
    std::vector<uint8_t> bytes(static_cast<size_t>(file.size()));
    file.readAt(0, bytes.data(), bytes.size());
    return bytes;
  }
  ErrorCode openError(const std::vector<uint8_t>& bytes) {
    auto file = place(bytes);
    auto data = dataFile();
    ErrorCode code = ErrorCode::KEEL_NONE;
    try {
      data->open(nullptr);
    } catch (const EKeelEngineError& error) {
      code = error.code();
    }
    EXPECT_EQ(file->count(TFaultyFile::Op::Write), 0u) << "a refused open wrote";
    return code;
  }

  std::unique_ptr<TFileRegistry> registry_ = std::make_unique<TFileRegistry>();
  TEngineSettings settings_;
  mindrel::FixedClock clock_{mindrel::LocalDateTime{{2000, 1, 1}, 0, 0, 0, 0}};
};

TableBytes People() {
  TableBytes t;
  t.field("Name", kString, 11, 10).field("Age", kInteger, 4);
  return t;
}

TEST_F(DataFileTest, OpensATableLaidOutByHand) {
  TableBytes t = People();
  t.row(1, {TableBytes::Text("Ann"), TableBytes::I32(41)}).row(2, {std::nullopt, TableBytes::I32(7)});
  place(t.build());
  auto data = dataFile();
  data->open(nullptr);
  EXPECT_EQ(data->rowSize(), 48u);  // 25 + 12 + 5 = 42 -> 48
  EXPECT_EQ(data->physicalRowCount(), 2);
  EXPECT_EQ(data->dataStart(), 512u + 2 * 768);
  ASSERT_EQ(data->fields().size(), 2u);
  const FieldDescriptor* name = data->fieldByName("NAME");
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->offset, 25);
  EXPECT_EQ(data->fieldByName("recordid")->number, FieldDescriptor::kRecordIdNumber);

  TPinnedUnit row = data->row(2);
  std::span<const uint8_t> bytes(row->data(), row->size());
  EXPECT_TRUE(GetField(bytes, *name).isNull);
  EXPECT_EQ(LoadI32(GetField(bytes, *data->field(2)).bytes.data()), 7);
  EXPECT_EQ(LoadI32(GetField(bytes, *data->field(FieldDescriptor::kRecordIdNumber)).bytes.data()), 2);
  Md5Digest stored;
  std::memcpy(stored.data(), bytes.data() + kRowHashAt, 16);
  EXPECT_EQ(data->recordHash(bytes), stored);
}

TEST_F(DataFileTest, EngineWritesMatchTheHandMadeLayout) {
  auto data = dataFile();
  DataFileCreateRequest request;
  FieldDescriptor name, age;
  name.name = "Name";
  name.type = FieldType::String;
  name.size = 10;
  age.name = "Age";
  age.type = FieldType::Integer;
  request.fields = {name, age};
  request.indexPageSize = 4096;
  request.blobBlockSize = 512;
  data->create(request);
  EXPECT_EQ(data->size(), 512u + 2 * 768);  // an empty table is header and descriptors only

  const std::vector<std::pair<std::string, int32_t>> people = {{"Ann", 41}, {"Bo", 7}};
  for (const auto& [text, years] : people) {
    TPinnedUnit row = data->takeRowForNewRecord();
    std::span<uint8_t> bytes(row->data(), row->size());
    StoreI32(bytes.data() + kRowRecordIdAt, data->nextRecordId());
    SetFieldText(bytes, data->fields()[0], text, 0);
    SetFieldValue(bytes, data->fields()[1], TableBytes::I32(years), 0);
    Md5Digest hash = data->recordHash(bytes);
    std::memcpy(bytes.data() + kRowHashAt, hash.data(), 16);
    data->addActiveRows(1);
  }
  data->writeBack();

  TableBytes expected = People();
  expected.row(1, {TableBytes::Text("Ann"), TableBytes::I32(41)}).row(2, {TableBytes::Text("Bo"), TableBytes::I32(7)});
  expected.put32(0, 2)                 // created, then written back once
      .put32(59, 4096)
      .put32(51, 512)
      .putDouble(63, -657068.0)        // 2000-01-01 00:00 - 693594
      .put8(197, 1);
  TEngineFile reader(*registry_, "db/T.dat", {.inMemory = true});
  reader.open();
  std::vector<uint8_t> actual(static_cast<size_t>(reader.size()));
  reader.read(0, actual.data(), actual.size());
  EXPECT_EQ(actual, expected.build());
}

TEST_F(DataFileTest, HeaderMomentRoundTrips) {
  TableBytes t = People();
  place(t.build());
  auto data = dataFile();
  data->open(nullptr);
  data->markHeaderModified();
  data->writeBack();
  EXPECT_EQ(data->header().lastUpdated, -657068.0);
  EXPECT_EQ(data->lastUpdated(), 36526.0);  // days since 1899-12-30 of 2000-01-01
  auto again = dataFile();
  again->open(nullptr);
  EXPECT_EQ(CivilDateOf(static_cast<int32_t>(again->lastUpdated()) + kDayNumberOf18991230),
            (mindrel::CivilDate{2000, 1, 1}));
}

TEST_F(DataFileTest, FreeRowChainReusesNewestDeletedFirst) {
  TableBytes t = People();
  for (int i = 1; i <= 10; ++i) t.row(i, {TableBytes::Text("p"), TableBytes::I32(i)});
  place(t.build());
  auto data = dataFile();
  data->open(nullptr);
  for (int64_t k : {3, 7}) data->deleteRow(*data->row(k));
  EXPECT_EQ(data->header().freeRowHead, 7);
  EXPECT_EQ(LoadI32(data->row(7)->data() + kRowLinkAt), 3);
  EXPECT_EQ(LoadI32(data->row(3)->data() + kRowLinkAt), 0);
  EXPECT_EQ(data->header().activeRowCount, 8);

  std::vector<int64_t> taken;
  for (int i = 0; i < 3; ++i) {
    TPinnedUnit row = data->takeRowForNewRecord();
    row->data()[kRowStatusAt] = 0;
    taken.push_back(row->unit());
    EXPECT_EQ(LoadI32(row->data() + kRowLinkAt), row->unit());
  }
  EXPECT_EQ(taken, (std::vector<int64_t>{7, 3, 11}));
  EXPECT_EQ(data->header().freeRowHead, 0);
  EXPECT_EQ(data->physicalRowCount(), 11);
}

TEST_F(DataFileTest, FreeRowChainLeadingToAnActiveRowIsRefusedNotOverwritten) {
  TableBytes t = People();
  for (int i = 1; i <= 3; ++i) t.row(i, {TableBytes::Text("p"), TableBytes::I32(i)});
  t.put32(25, 2);  // the chain's head names active row 2
  place(t.build());
  auto data = dataFile();
  data->open(nullptr);
  const std::vector<uint8_t> before(data->row(2)->data(), data->row(2)->data() + data->rowSize());
  try {
    data->takeRowForNewRecord();
    FAIL() << "an active row was taken";
  } catch (const EKeelEngineError& error) {
    EXPECT_EQ(error.code(), ErrorCode::KEEL_FILECORRUPT);
  }
  EXPECT_EQ(std::vector<uint8_t>(data->row(2)->data(), data->row(2)->data() + data->rowSize()), before);
  EXPECT_EQ(data->header().freeRowHead, 2);
}

TEST_F(DataFileTest, CountersWrapTo1) {
  TableBytes t = People();
  t.put32(33, 2147483647).put32(37, 2147483646);
  place(t.build(false));
  auto data = dataFile();
  data->open(nullptr);
  EXPECT_EQ(data->nextRecordId(), 1);
  EXPECT_EQ(data->nextAutoInc(), 2147483647);
  EXPECT_EQ(data->nextAutoInc(), 1);
  data->noteRecordId(50);
  EXPECT_EQ(data->header().lastRecordId, 50);
  data->noteRecordId(20);
  EXPECT_EQ(data->header().lastRecordId, 50);
}

TEST_F(DataFileTest, DamagedFilesAreRefusedWithTheirErrors) {
  const std::vector<uint8_t> good = People().row(1, {TableBytes::Text("a"), TableBytes::I32(1)}).build();
  auto changed = [&](size_t at, uint8_t value) {
    auto bytes = good;
    bytes[at] = value;
    return bytes;
  };
  auto cut = [&](size_t length) { return std::vector<uint8_t>(good.begin(), good.begin() + length); };
  TableBytes many;
  many.put16(47, 1025);
  TableBytes none;
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    ErrorCode code;
  } cases[] = {
      {"sound", good, ErrorCode::KEEL_NONE},
      {"version 5", changed(8, 5), ErrorCode::KEEL_OLDVERSION},
      {"version 9", changed(8, 9), ErrorCode::KEEL_BADSIGNATURE},
      {"signature", changed(12, 0), ErrorCode::KEEL_BADSIGNATURE},
      {"over 1024 fields", many.build(false), ErrorCode::KEEL_HEADERCORRUPT},
      {"no fields", none.build(), ErrorCode::KEEL_HEADERCORRUPT},
      {"field beyond the row", changed(512 + 768 + 172, 250), ErrorCode::KEEL_HEADERCORRUPT},
      {"row size below the header", changed(45, 8), ErrorCode::KEEL_HEADERCORRUPT},
      {"header cut", cut(300), ErrorCode::KEEL_READERR},
      {"descriptors cut", cut(512 + 800), ErrorCode::KEEL_READERR},
      {"encrypted without a password", changed(172, 1), ErrorCode::KEEL_NOTSUFFTABLERIGHTS},
  };
  for (const auto& c : cases) {
    registry_ = std::make_unique<TFileRegistry>();
    EXPECT_EQ(openError(c.bytes), c.code) << c.name;
  }
}

// Random damage to header, descriptors and rows: every outcome is either a
// sound read or an engine error, never a crash or a read out of bounds.
TEST_F(DataFileTest, RandomDamageNeverCrashes) {
  TableBytes t = People();
  for (int i = 1; i <= 6; ++i) t.row(i, {TableBytes::Text("p" + std::to_string(i)), TableBytes::I32(i)});
  const std::vector<uint8_t> good = t.build();
  std::mt19937 random(7);
  int refused = 0;
  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> bytes = good;
    const int hits = 1 + static_cast<int>(random() % 4);
    for (int h = 0; h < hits; ++h) {
      // Mostly the header counters and the descriptors' numbers, sometimes anywhere.
      const size_t at = random() % 3 == 0 ? random() % bytes.size()
                        : random() % 2 == 0 ? 25 + random() % 30
                                            : 512 + (random() % 2) * 768 + 164 + random() % 12;
      bytes[at] = static_cast<uint8_t>(random());
    }
    if (random() % 5 == 0) bytes.resize(random() % bytes.size());
    registry_ = std::make_unique<TFileRegistry>();
    place(bytes);
    auto data = dataFile();
    try {
      data->open(nullptr);
      data->verifyStructure();
      for (int64_t k = 1; k <= data->physicalRowCount(); ++k) {
        TPinnedUnit row = data->row(k);
        for (const FieldDescriptor& f : data->fields()) GetField({row->data(), row->size()}, f);
      }
    } catch (const EKeelEngineError&) {
      ++refused;
    }
  }
  EXPECT_GT(refused, 0);
}

TEST_F(DataFileTest, StandardSignatureOpensUnderAnyEngineSignature) {
  place(People().build());
  settings_.EngineSignature = "Our own engine";
  auto data = dataFile();
  EXPECT_NO_THROW(data->open(nullptr));

  TableBytes own = People();
  Md5Digest digest = Md5(std::string_view("Our own engine"));
  for (size_t i = 0; i < 16; ++i) own.put8(9 + i, digest[i]);
  registry_ = std::make_unique<TFileRegistry>();
  EXPECT_EQ(openError(own.build()), ErrorCode::KEEL_NONE);
  settings_.EngineSignature.clear();
  registry_ = std::make_unique<TFileRegistry>();
  EXPECT_EQ(openError(own.build()), ErrorCode::KEEL_BADSIGNATURE);
}

TEST_F(DataFileTest, ReadsTenRowsWithOneRequestAndWritesTwoNewRowsWithOne) {
  TableBytes t;
  t.field("Text", kString, 74, 73);  // 25 + 75 = 100 -> rows of 104 bytes
  for (int i = 1; i <= 10; ++i) t.row(i, {TableBytes::Text("row " + std::to_string(i))});
  auto file = place(t.build());
  auto data = dataFile();
  data->open(nullptr);
  EXPECT_EQ(data->cacheCapacity(), settings_.MaxTableDataBufferSize / (104 + 36));
  EXPECT_EQ(data->readAheadLimit(), data->cacheCapacity() / 2);
  file->clearCalls();

  data->row(1, 10);
  for (int64_t k = 2; k <= 10; ++k) data->row(k);
  ASSERT_EQ(file->count(TFaultyFile::Op::Read), 1u);
  EXPECT_EQ(file->calls()[0].offset, data->dataStart());
  EXPECT_EQ(file->calls()[0].length, 10u * 104);

  for (int i = 0; i < 2; ++i) data->takeRowForNewRecord();
  file->clearCalls();
  data->writeBack();
  ASSERT_EQ(file->count(TFaultyFile::Op::Write), 2u);  // the two rows, then the header
  EXPECT_EQ(file->calls()[0].offset, data->dataStart() + 10 * 104);
  EXPECT_EQ(file->calls()[0].length, 2u * 104);
  EXPECT_EQ(file->calls()[1].offset, 0u);
}

TEST_F(DataFileTest, EncryptedTableNeedsItsPassword) {
  TPasswordList passwords;
  auto data = dataFile();
  DataFileCreateRequest request;
  FieldDescriptor name;
  name.name = "Name";
  name.type = FieldType::String;
  name.size = 20;
  request.fields = {name};
  request.password = passwords.forNewTable("T", "secret");
  data->create(request);
  TPinnedUnit row = data->takeRowForNewRecord();
  SetFieldText({row->data(), row->size()}, data->fields()[0], "hidden text", 0);
  row.release();
  data->writeBack();
  data->close();

  TEngineFile raw(*registry_, "db/T.dat", {.inMemory = true});
  raw.open();
  std::vector<uint8_t> bytes(static_cast<size_t>(raw.size()));
  raw.read(0, bytes.data(), bytes.size());
  raw.close();
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find("hidden"), std::string::npos);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find("Name"), std::string::npos);

  TPasswordList strangers;
  strangers.add("Secret");  // letter case matters
  auto locked = dataFile();
  try {
    locked->open(&strangers);
    FAIL();
  } catch (const EKeelEngineError& error) {
    EXPECT_EQ(error.code(), ErrorCode::KEEL_NOTSUFFTABLERIGHTS);
  }
  locked->close();
  auto opened = dataFile();
  opened->open(&passwords);
  EXPECT_EQ(opened->fields()[0].name, "Name");
  TPinnedUnit back = opened->row(1);
  EXPECT_EQ(FormatFieldText(opened->fields()[0], GetField({back->data(), back->size()}, opened->fields()[0]).bytes),
            "hidden text");
}

TEST_F(DataFileTest, CreationLimits) {
  auto attempt = [&](std::vector<FieldDescriptor> fields) {
    DataFileCreateRequest request;
    request.fields = std::move(fields);
    registry_ = std::make_unique<TFileRegistry>();
    auto data = dataFile();
    try {
      data->create(request);
    } catch (const EKeelEngineError& error) {
      EXPECT_FALSE(registry_->exists("db/T.dat", true)) << "nothing is made on a refused request";
      return error.code();
    }
    return ErrorCode::KEEL_NONE;
  };
  FieldDescriptor blob;
  blob.name = "B";
  blob.type = FieldType::Blob;
  FieldDescriptor wide;
  wide.name = "S";
  wide.type = FieldType::String;
  wide.size = 512;
  FieldDescriptor one;
  one.name = "I";
  one.type = FieldType::Integer;
  EXPECT_EQ(attempt(std::vector<FieldDescriptor>(129, blob)), ErrorCode::KEEL_BLOBLIMIT);
  EXPECT_EQ(attempt(std::vector<FieldDescriptor>(128, wide)), ErrorCode::KEEL_RECTOOBIG);
  EXPECT_EQ(attempt({}), ErrorCode::KEEL_FLDLIMIT);
  EXPECT_EQ(attempt({one}), ErrorCode::KEEL_NONE);
  auto data = dataFile();
  data->open(nullptr);
  EXPECT_EQ(data->rowSize(), 32u);  // 25 + 4 + 1 = 30 -> 32
}

TEST_F(DataFileTest, StructuralVerificationNamesEachProblem) {
  TableBytes t = People();
  t.row(1, {TableBytes::Text("a"), TableBytes::I32(1)});
  auto bytes = t.build();
  place(bytes);
  auto sound = dataFile();
  sound->open(nullptr);
  EXPECT_TRUE(sound->verifyStructure().empty());
  sound->close();

  bytes[512 + 768 + 3] = 'n';  // second field renamed "nge": still unique
  bytes[512 + 768 + 2] = 4;    // now "Name" with length 4: duplicate of field 1
  bytes[512 + 768 + 3] = 'N';
  bytes[512 + 768 + 4] = 'a';
  bytes[512 + 768 + 5] = 'm';
  bytes[512 + 768 + 6] = 'e';
  bytes[29] = 5;  // NextRowNumber 5 with one row on disk
  bytes.push_back(0);  // a stray byte past the last row
  registry_ = std::make_unique<TFileRegistry>();
  place(bytes);
  auto broken = dataFile();
  broken->open(nullptr);
  auto problems = broken->verifyStructure();
  ASSERT_EQ(problems.size(), 3u);
  EXPECT_NE(problems[0].find("duplicate name"), std::string::npos);
  EXPECT_NE(problems[1].find("whole number of rows"), std::string::npos);
  EXPECT_NE(problems[2].find("next row number"), std::string::npos);
}

}  // namespace
}  // namespace keel
