#include "engine/core/DataCursor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>

#include "engine/core/ByteOrder.h"
#include "engine/core/DataSession.h"
#include "engine/core/FaultyFile.h"
#include "engine/core/FieldCodec.h"
#include "engine/core/IndexSlotStore.h"
#include "engine/core/IndexTreeChecker.h"
#include "tests/support/Descriptors.h"

namespace keel {
namespace {

namespace fs = std::filesystem;
using keel::testing::Field;
using keel::testing::Index;

// Code (unique), Name, Town: indexes ByCode (unique) and ByName (Name;Town).
TableCreateRequest People() {
  TableCreateRequest request;
  request.name = "People";
  request.fields = {Field("Code", FieldType::Integer), Field("Name", FieldType::String, 20),
                    Field("Town", FieldType::String, 20)};
  request.secondaries = {Index("ByCode", {1}, true), Index("ByName", {2, 3}, false)};
  return request;
}

class DataCursorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/keel-cursor-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    directory_ = std::make_unique<TDataDirectory>(session_, folder_);
  }
  void TearDown() override {
    directory_.reset();
    fs::remove_all(folder_);
  }

  std::vector<uint8_t> person(TDataCursor& cursor, int32_t code, const std::string& name, const std::string& town) {
    std::vector<uint8_t> row = cursor.newRow();
    std::vector<uint8_t> value(4);
    StoreI32(value.data(), code);
    SetFieldValue(row, cursor.field("Code"), value, 0);
    SetFieldText(row, cursor.field("Name"), name, 0);
    SetFieldText(row, cursor.field("Town"), town, 0);
    return row;
  }
  void add(TDataCursor& cursor, int32_t code, const std::string& name, const std::string& town) {
    auto row = person(cursor, code, name, town);
    cursor.append(row);
  }
  static int32_t codeOf(TDataCursor& cursor) {
    std::vector<uint8_t> row(cursor.rowSize());
    if (cursor.currentRow(row) != Nav::Ok) return -1;
    return LoadI32(GetField(row, cursor.field("Code")).bytes.data());
  }
  static std::vector<int32_t> codesInOrder(TDataCursor& cursor) {
    std::vector<int32_t> codes;
    for (Nav r = cursor.first(); r == Nav::Ok; r = cursor.next()) codes.push_back(codeOf(cursor));
    return codes;
  }
  static ErrorCode codeOfError(const std::function<void()>& action) {
    try {
      action();
    } catch (const EKeelEngineError& error) {
      return error.code();
    }
    return ErrorCode::KEEL_NONE;
  }
  // Every index of the table is a sound tree holding exactly the active rows.
  static void expectIndexesSound(TDataCursor& cursor) {
    TDataTable& table = cursor.table();
    for (int slot = 0; slot < table.indexCount(); ++slot) {
      TIndexSlotStore store(table.index(), slot);
      TIndexTreeChecker checker(store, table.access(slot).comparer());
      auto problems = checker.check();
      EXPECT_TRUE(problems.empty()) << "slot " << slot << ": " << (problems.empty() ? "" : problems[0]);
      EXPECT_EQ(checker.keyCount(), table.data().header().activeRowCount) << "slot " << slot;
    }
  }

  mindrel::FixedClock clock_{mindrel::LocalDateTime{{2024, 5, 1}, 9, 30, 0, 0}};
  TDataEngine engine_{clock_};
  TDataSession session_{engine_};
  std::string folder_;
  std::unique_ptr<TDataDirectory> directory_;
};

TEST_F(DataCursorTest, EmptyTableHasNoCurrentRow) {
  directory_->createTable(People());
  TDataCursor cursor(*directory_, "People");
  EXPECT_EQ(cursor.first(), Nav::Eof);
  EXPECT_TRUE(cursor.isBof());
  EXPECT_TRUE(cursor.isEof());
  std::vector<uint8_t> row(cursor.rowSize(), 0xAA);
  EXPECT_EQ(cursor.currentRow(row), Nav::NoRecord);
  EXPECT_EQ(row, std::vector<uint8_t>(cursor.rowSize(), 0));
  EXPECT_EQ(cursor.recordCount(), 0);
  EXPECT_EQ(codeOfError([&] { cursor.remove(row); }), ErrorCode::KEEL_NOCURRREC);
}

TEST_F(DataCursorTest, NamesWithAndWithoutExtensionShareOneTable) {
  directory_->createTable(People());
  TDataCursor a(*directory_, "People");
  TDataCursor b(*directory_, " people.dat ");
  EXPECT_EQ(&a.table(), &b.table());
  EXPECT_EQ(codeOfError([&] { TDataCursor c(*directory_, "People", {.exclusive = true}); }),
            ErrorCode::KEEL_OSEACCES);
}

TEST_F(DataCursorTest, RowsComeInTheOrderOfEachIndex) {
  directory_->createTable(People());
  TDataCursor cursor(*directory_, "People");
  add(cursor, 30, "Smith", "York");
  add(cursor, 10, "Adams", "Leeds");
  add(cursor, 20, "Smith", "Bath");
  EXPECT_EQ(codesInOrder(cursor), (std::vector<int32_t>{30, 10, 20}));  // primary: RecordID
  cursor.setIndex("bycode");
  EXPECT_EQ(codesInOrder(cursor), (std::vector<int32_t>{10, 20, 30}));
  cursor.setIndex("ByName");
  EXPECT_EQ(codesInOrder(cursor), (std::vector<int32_t>{10, 20, 30}));  // Adams; Smith Bath; Smith York
  EXPECT_EQ(cursor.last(), Nav::Ok);
  EXPECT_EQ(codeOf(cursor), 30);
  EXPECT_EQ(cursor.prior(), Nav::Ok);
  EXPECT_EQ(codeOf(cursor), 20);
  EXPECT_EQ(cursor.position(), 2);
  EXPECT_TRUE(cursor.goToPosition(1));
  EXPECT_EQ(codeOf(cursor), 10);
  EXPECT_EQ(cursor.prior(), Nav::Bof);
  cursor.setIndex(TDataCursor::kPhysicalOrder);
  EXPECT_EQ(codesInOrder(cursor), (std::vector<int32_t>{30, 10, 20}));
  EXPECT_EQ(codeOfError([&] { cursor.setIndex("Nope"); }), ErrorCode::KEEL_INVALIDINDEXNAME);
  expectIndexesSound(cursor);
}

TEST_F(DataCursorTest, ChangingTheIndexKeepsTheCurrentRow) {
  directory_->createTable(People());
  TDataCursor cursor(*directory_, "People");
  add(cursor, 3, "Cole", "A");
  add(cursor, 1, "Ames", "B");
  add(cursor, 2, "Bell", "C");
  cursor.setIndex("ByCode");
  ASSERT_TRUE(cursor.goToPosition(2));
  cursor.setIndex("ByName");
  EXPECT_EQ(codeOf(cursor), 2);
  EXPECT_EQ(cursor.next(), Nav::Ok);
  EXPECT_EQ(codeOf(cursor), 3);
}

TEST_F(DataCursorTest, FindKeyPartialExactAndNearest) {
  directory_->createTable(People());
  TDataCursor cursor(*directory_, "People");
  add(cursor, 40, "Smith", "York");
  add(cursor, 10, "Jones", "Bath");
  add(cursor, 30, "Smith", "Bath");
  add(cursor, 20, "Brown", "Hull");

  cursor.setIndex("ByName");
  auto probe = person(cursor, 0, "Smith", "");
  EXPECT_TRUE(cursor.findKey(probe, 1));
  EXPECT_EQ(codeOf(cursor), 30);  // the first Smith in index order, not the first added
  auto partial = person(cursor, 0, "Jo", "");
  EXPECT_TRUE(cursor.findKey(partial, 0, 2));
  EXPECT_EQ(codeOf(cursor), 10);
  auto missing = person(cursor, 0, "Kent", "");
  EXPECT_FALSE(cursor.findKey(missing, 1));
  EXPECT_EQ(codeOf(cursor), 30);  // a partial search moves to the next key even when not found

  cursor.setIndex("ByCode");
  ASSERT_TRUE(cursor.findKey(person(cursor, 20, "", "")));
  EXPECT_FALSE(cursor.findKey(person(cursor, 25, "", "")));
  EXPECT_EQ(codeOf(cursor), 20);  // exact miss stays put
  EXPECT_FALSE(cursor.findKey(person(cursor, 25, "", ""), 0, 0, true));
  EXPECT_EQ(codeOf(cursor), 30);  // nearest: next greater key
  cursor.findKey(person(cursor, 99, "", ""), 0, 0, true);
  EXPECT_EQ(codeOf(cursor), 40);  // beyond every key: the last row
}

TEST_F(DataCursorTest, RangesCountAndBoundTheRows) {
  directory_->createTable(People());
  TDataCursor cursor(*directory_, "People");
  for (int32_t code : {5, 1, 9, 3, 7}) add(cursor, code, "N" + std::to_string(code), "T");
  cursor.setIndex("ByCode");
  ASSERT_TRUE(cursor.findKey(person(cursor, 9, "", "")));
  cursor.setRange(person(cursor, 3, "", ""), 0, person(cursor, 7, "", ""), 0);
  EXPECT_EQ(codeOf(cursor), 7);  // above the range: its last row
  EXPECT_EQ(cursor.recordCount(), 3);
  EXPECT_EQ(codesInOrder(cursor), (std::vector<int32_t>{3, 5, 7}));
  EXPECT_EQ(cursor.next(), Nav::Eof);
  cursor.cancelRange();
  EXPECT_EQ(cursor.recordCount(), 5);

  cursor.setRange(person(cursor, 8, "", ""), 0, person(cursor, 2, "", ""), 0);
  EXPECT_EQ(cursor.first(), Nav::Eof);
  EXPECT_TRUE(cursor.isBof() && cursor.isEof());
  EXPECT_EQ(cursor.recordCount(), 0);
}

TEST_F(DataCursorTest, DuplicateKeysAreRefusedAndLeaveNothingBehind) {
  directory_->createTable(People());
  TDataCursor cursor(*directory_, "People");
  add(cursor, 1, "A", "x");
  const int32_t lastId = cursor.table().data().header().lastRecordId;
  try {
    add(cursor, 1, "B", "y");
    FAIL();
  } catch (const EKeelEngineError& error) {
    EXPECT_EQ(error.code(), ErrorCode::KEEL_KEYVIOL);
    EXPECT_EQ(std::string(error.what()),
              "Keel Engine Error # 9729 Duplicate key found in the index 'ByCode' of the table 'People'");
  }
  EXPECT_EQ(cursor.recordCount(), 1);
  EXPECT_EQ(cursor.table().data().header().lastRecordId, lastId);
  add(cursor, 2, "B", "y");
  EXPECT_EQ(cursor.table().data().header().lastRecordId, lastId + 1);
  expectIndexesSound(cursor);
}

TEST_F(DataCursorTest, ReadingInIndexOrderReadsAdjacentRowsTogether) {
  TDataDirectory memory(session_, "mem", true);
  memory.createTable(People());
  {
    TDataCursor cursor(memory, "People");
    for (int32_t code = 1; code <= 50; ++code) add(cursor, code, "N", "T");
  }
  // The same bytes again, now in a file that counts its reads.
  TFileRegistry& files = engine_.files();
  FileHandle old = files.open("mem/People.dat", {.inMemory = true});
  std::vector<uint8_t> bytes(static_cast<size_t>(old.file->size()));
  old.file->readAt(0, bytes.data(), bytes.size());
  files.close(old);
  auto counted = std::make_shared<TFaultyFile>("mem/People.dat");
  counted->writeAt(0, bytes.data(), bytes.size());
  files.adopt(counted);

  counted->clearCalls();
  TDataCursor cursor(memory, "People");  // lands on the first row in RecordID order
  cursor.setIndex("ByCode");
  EXPECT_EQ(codesInOrder(cursor).size(), 50u);
  size_t rowReads = 0;
  for (const auto& call : counted->calls()) rowReads += call.op == TFaultyFile::Op::Read && call.offset >= 512 + 3 * 768;
  EXPECT_EQ(rowReads, 1u);
}

TEST_F(DataCursorTest, EmptyingStartsTheTableAfresh) {
  directory_->createTable(People());
  TDataCursor cursor(*directory_, "People");
  for (int32_t code : {1, 2, 3}) add(cursor, code, "N", "T");
  cursor.emptyTable();
  EXPECT_EQ(cursor.first(), Nav::Eof);
  EXPECT_EQ(cursor.recordCount(), 0);
  EXPECT_EQ(fs::file_size(folder_ + "/People.dat"), 512u + 3 * 768);
  add(cursor, 7, "N", "T");
  EXPECT_EQ(cursor.currentRowNumber(), 1);
  std::vector<uint8_t> row(cursor.rowSize());
  cursor.currentRow(row);
  EXPECT_EQ(LoadI32(row.data() + kRowRecordIdAt), 1);
  expectIndexesSound(cursor);
}

TEST_F(DataCursorTest, DeleteMovesToTheFollowingRow) {
  directory_->createTable(People());
  TDataCursor cursor(*directory_, "People");
  for (int32_t code : {1, 2, 3}) add(cursor, code, "N", "T");
  cursor.setIndex("ByCode");
  std::vector<uint8_t> row(cursor.rowSize());
  ASSERT_TRUE(cursor.findKey(person(cursor, 2, "", "")));
  cursor.currentRow(row);
  cursor.remove(row);
  EXPECT_EQ(codeOf(cursor), 3);
  cursor.currentRow(row);
  cursor.remove(row);
  EXPECT_TRUE(cursor.isEof());
  EXPECT_EQ(codesInOrder(cursor), (std::vector<int32_t>{1}));
  EXPECT_EQ(cursor.table().data().header().freeRowHead, 3);
  add(cursor, 4, "N", "T");  // reuses row 3, the newest deleted
  EXPECT_EQ(cursor.currentRowNumber(), 3);
  expectIndexesSound(cursor);
}

TEST_F(DataCursorTest, ModifyMovesTheRowInEveryIndex) {
  directory_->createTable(People());
  TDataCursor cursor(*directory_, "People");
  for (int32_t code : {1, 2, 3}) add(cursor, code, "N" + std::to_string(code), "T");
  cursor.setIndex("ByCode");
  ASSERT_TRUE(cursor.findKey(person(cursor, 1, "", "")));
  std::vector<uint8_t> row(cursor.rowSize());
  cursor.currentRow(row);
  const int32_t recordId = LoadI32(row.data() + kRowRecordIdAt);
  auto changed = person(cursor, 9, "Z", "T");
  cursor.modify(changed);
  EXPECT_EQ(codeOf(cursor), 9);
  EXPECT_EQ(cursor.next(), Nav::Eof);  // now the last in code order
  cursor.last();
  cursor.currentRow(row);
  EXPECT_EQ(LoadI32(row.data() + kRowRecordIdAt), recordId);
  ASSERT_TRUE(cursor.findKey(person(cursor, 2, "", "")));
  EXPECT_EQ(codeOfError([&] { cursor.modify(person(cursor, 3, "x", "y")); }), ErrorCode::KEEL_KEYVIOL);
  expectIndexesSound(cursor);
}

TEST_F(DataCursorTest, ARowDeletedByAnotherCursorCannotBeEdited) {
  directory_->createTable(People());
  TDataCursor a(*directory_, "People");
  add(a, 1, "A", "x");
  TDataCursor b(*directory_, "People");
  std::vector<uint8_t> rowA(a.rowSize()), rowB(b.rowSize());
  a.currentRow(rowA);
  b.first();
  b.currentRow(rowB);
  b.remove(rowB);
  EXPECT_EQ(codeOfError([&] { a.currentRow(rowA, true); }), ErrorCode::KEEL_KEYORRECDELETED);
  EXPECT_EQ(codeOfError([&] { a.remove(rowA); }), ErrorCode::KEEL_KEYORRECDELETED);
}

// Another cursor deletes the row this one stands on and a new record takes
// its slot: reading the current row must not hand over the newcomer, whose
// key lies elsewhere, or the walk would meet it twice.
TEST_F(DataCursorTest, ARecordInTheSlotOfTheDeletedCurrentRowIsNotTakenForIt) {
  directory_->createTable(People());
  TDataCursor reader(*directory_, "People");
  for (int32_t code : {1, 2, 3}) add(reader, code, "N", "T");
  reader.setIndex("ByCode");
  ASSERT_TRUE(reader.findKey(person(reader, 2, "", "")));
  TDataCursor writer(*directory_, "People");
  writer.setIndex("ByCode");
  ASSERT_TRUE(writer.findKey(person(writer, 2, "", "")));
  std::vector<uint8_t> row(writer.rowSize());
  writer.currentRow(row);
  writer.remove(row);
  add(writer, 4, "N", "T");  // in the freed slot
  ASSERT_EQ(writer.currentRowNumber(), reader.currentRowNumber());

  EXPECT_EQ(codeOf(reader), 2);
  ASSERT_EQ(reader.next(), Nav::Ok);
  EXPECT_EQ(codeOf(reader), 3);
}

TEST_F(DataCursorTest, RowLocksKeepTwoSessionsApart) {
  directory_->createTable(People());
  TDataCursor mine(*directory_, "People");
  add(mine, 1, "A", "x");
  add(mine, 2, "C", "x");
  mine.first();
  TDataEngine otherEngine(clock_);
  TDataSession otherSession(otherEngine);
  otherSession.StrictChangeDetection = true;  // sees our posted change at its next read
  otherSession.LockRetryCount = 2;
  otherSession.LockWaitTime = std::chrono::milliseconds(1);
  TDataDirectory otherFolder(otherSession, folder_);
  TDataCursor theirs(otherFolder, "People");
  EXPECT_TRUE(fs::exists(folder_ + "/keel.lck"));

  std::vector<uint8_t> row(mine.rowSize()), their(theirs.rowSize());
  mine.currentRow(row);
  mine.currentRow(row, true);  // Edit: the row is locked
  theirs.currentRow(their);
  EXPECT_EQ(codeOfError([&] { theirs.currentRow(their, true); }), ErrorCode::KEEL_RECLOCKFAILED);
  EXPECT_EQ(codeOfError([&] { theirs.remove(their); }), ErrorCode::KEEL_RECLOCKFAILED);
  // A refused post leaves the edit going, and so its lock held.
  EXPECT_EQ(codeOfError([&] { mine.modify(person(mine, 2, "B", "x")); }), ErrorCode::KEEL_KEYVIOL);
  EXPECT_EQ(codeOfError([&] { theirs.currentRow(their, true); }), ErrorCode::KEEL_RECLOCKFAILED);
  mine.modify(person(mine, 1, "B", "x"));  // posting releases the lock
  theirs.currentRow(their);
  theirs.currentRow(their, true);
  theirs.cancelEdit();
  EXPECT_EQ(codeOf(theirs), 1);
}

TEST_F(DataCursorTest, OptimisticEditsNoticeChangesWhenPosted) {
  session_.Protocol = LockProtocol::lpOptimistic;
  directory_->createTable(People());
  TDataCursor a(*directory_, "People");
  add(a, 1, "A", "x");
  TDataCursor b(*directory_, "People");
  std::vector<uint8_t> row(a.rowSize());
  a.currentRow(row);
  a.currentRow(row, true);  // no lock taken, only the comparison
  b.first();
  b.modify(person(b, 1, "Changed", "x"));
  EXPECT_EQ(codeOfError([&] { a.modify(person(a, 1, "Mine", "x")); }), ErrorCode::KEEL_KEYORRECDELETED);
}

TEST_F(DataCursorTest, ReadOnlyCursorsRefuseEveryWrite) {
  directory_->createTable(People());
  {
    TDataCursor writer(*directory_, "People");
    add(writer, 1, "A", "x");
  }
  TDataCursor reader(*directory_, "People", {.readOnly = true});
  EXPECT_TRUE(reader.readOnly());
  std::vector<uint8_t> row(reader.rowSize());
  reader.currentRow(row);
  EXPECT_EQ(codeOfError([&] { add(reader, 2, "B", "y"); }), ErrorCode::KEEL_OSEACCES);
  EXPECT_EQ(codeOfError([&] { reader.modify(row); }), ErrorCode::KEEL_OSEACCES);
  EXPECT_EQ(codeOfError([&] { reader.remove(row); }), ErrorCode::KEEL_OSEACCES);
}

TEST_F(DataCursorTest, ReadOnlyFilesMakeTheCursorReadOnly) {
  directory_->createTable(People());
  for (const char* ext : {".dat", ".idx"}) fs::permissions(folder_ + "/People" + ext, fs::perms::owner_read);
  TDataCursor cursor(*directory_, "People");
  EXPECT_TRUE(cursor.readOnly());
  EXPECT_EQ(codeOfError([&] { add(cursor, 1, "A", "x"); }), ErrorCode::KEEL_OSEACCES);
  // Windows removes no read-only file.
  for (const char* ext : {".dat", ".idx"}) fs::permissions(folder_ + "/People" + ext, fs::perms::owner_all);
}

TEST_F(DataCursorTest, LostIndexFileIsRebuiltWithThePrimaryIndex) {
  directory_->createTable(People());
  {
    TDataCursor cursor(*directory_, "People");
    for (int32_t code : {3, 1, 2}) add(cursor, code, "N", "T");
  }
  fs::remove(folder_ + "/People.idx");
  TDataCursor cursor(*directory_, "People");
  EXPECT_TRUE(cursor.table().indexRebuilt());
  EXPECT_EQ(cursor.table().indexCount(), 1);
  EXPECT_EQ(codesInOrder(cursor), (std::vector<int32_t>{3, 1, 2}));
  EXPECT_EQ(codeOfError([&] { cursor.setIndex("ByCode"); }), ErrorCode::KEEL_INVALIDINDEXNAME);
  expectIndexesSound(cursor);
}

TEST_F(DataCursorTest, RowsAddedThroughAnotherHandleAreSeenByTheNextMove) {
  session_.StrictChangeDetection = true;
  directory_->createTable(People());
  TDataCursor reader(*directory_, "People");
  TDataEngine otherEngine(clock_);  // its own file registry: another open file description
  TDataSession otherSession(otherEngine);
  TDataDirectory otherFolder(otherSession, folder_);
  TDataCursor writer(otherFolder, "People");
  add(writer, 1, "A", "x");
  add(writer, 2, "B", "x");
  EXPECT_EQ(reader.first(), Nav::Ok);
  EXPECT_EQ(codeOf(reader), 1);
  add(writer, 3, "C", "x");
  EXPECT_EQ(reader.next(), Nav::Ok);
  EXPECT_EQ(reader.next(), Nav::Ok);
  EXPECT_EQ(codeOf(reader), 3);
  EXPECT_EQ(reader.recordCount(), 3);
}

TEST_F(DataCursorTest, WithoutStrictDetectionChangesShowAtThePageMiss) {
  engine_.settings().MaxTableDataBufferSize = 4 * (72 + 36);  // four rows of 72 bytes in the cache
  directory_->createTable(People());
  TDataEngine otherEngine(clock_);
  TDataSession otherSession(otherEngine);
  TDataDirectory otherFolder(otherSession, folder_);
  TDataCursor writer(otherFolder, "People", {.physicalOrderOnly = true});
  for (int32_t code = 1; code <= 20; ++code) add(writer, code, "Old", "x");
  TDataCursor reader(*directory_, "People", {.physicalOrderOnly = true});
  ASSERT_EQ(reader.first(), Nav::Ok);  // rows 1.. cached
  std::vector<uint8_t> row(writer.rowSize());
  writer.first();
  writer.currentRow(row);
  writer.modify(person(writer, 1, "New", "x"));
  reader.currentRow(row);
  EXPECT_EQ(FormatFieldText(reader.field("Name"), GetField(row, reader.field("Name")).bytes), "Old");  // from the cache
  for (int32_t code = 21; code <= 25; ++code) add(writer, code, "Later", "x");
  // The first row that has to come from disk refreshes the table: the rows
  // added meanwhile become visible.
  int visited = 1;
  while (reader.next() == Nav::Ok) ++visited;
  EXPECT_EQ(visited, 25);
  reader.first();
  reader.currentRow(row);
  EXPECT_EQ(FormatFieldText(reader.field("Name"), GetField(row, reader.field("Name")).bytes), "New");
}

TEST_F(DataCursorTest, AppendFillsCountersDefaultsAndConstraints) {
  TableCreateRequest request;
  request.name = "Events";
  request.lastAutoInc = 100;
  FieldDescriptor id = Field("ID", FieldType::Integer);
  id.subtype = FieldSubtype::AutoInc;
  FieldDescriptor added = Field("Added", FieldType::Date);
  added.defaultValue = "CURRENT_DATE";
  FieldDescriptor name = Field("Name", FieldType::String, 10);
  name.required = true;
  request.fields = {id, added, name};
  directory_->createTable(request);
  TDataCursor cursor(*directory_, "Events");
  std::vector<uint8_t> row = cursor.newRow();
  EXPECT_EQ(codeOfError([&] { cursor.append(row); }), ErrorCode::KEEL_REQDERR);
  SetFieldText(row, cursor.field("Name"), "Party", 0);
  cursor.append(row);
  EXPECT_EQ(LoadI32(GetField(row, cursor.field("ID")).bytes.data()), 101);
  EXPECT_EQ(FormatFieldText(cursor.field("Added"), GetField(row, cursor.field("Added")).bytes), "2024-05-01");
  EXPECT_EQ(LoadI32(row.data() + kRowLinkAt), 1);
  EXPECT_EQ(LoadI32(row.data() + kRowRecordIdAt), 1);
  EXPECT_EQ(cursor.table().data().header().lastAutoInc, 101);
}

TEST_F(DataCursorTest, CreationIsValidatedBeforeAnythingIsMade) {
  auto attempt = [&](const std::function<void(TableCreateRequest&)>& change) {
    TableCreateRequest request = People();
    change(request);
    ErrorCode code = codeOfError([&] { directory_->createTable(request); });
    if (code != ErrorCode::KEEL_NONE && code != ErrorCode::KEEL_TABLEEXISTS && code != ErrorCode::KEEL_OSEACCES) {
      EXPECT_FALSE(fs::exists(folder_ + "/People.dat"));
    }
    return code;
  };
  EXPECT_EQ(attempt([](auto& r) { r.fields[1].name = "code"; }), ErrorCode::KEEL_INVALIDFIELDNAME);
  EXPECT_EQ(attempt([](auto& r) { r.fields[1].name = "RecordID"; }), ErrorCode::KEEL_INVALIDFIELDNAME);
  EXPECT_EQ(attempt([](auto& r) { r.fields[1].size = 0; }), ErrorCode::KEEL_INVALIDFLDTYPE);
  EXPECT_EQ(attempt([](auto& r) { r.fields[0].decimals = 2; }), ErrorCode::KEEL_INVALIDFLDTYPE);
  EXPECT_EQ(attempt([](auto& r) { r.fields[0].defaultValue = "ten"; }), ErrorCode::KEEL_INVALIDVCHKSTRUCT);
  EXPECT_EQ(attempt([](auto& r) { r.fields.clear(); }), ErrorCode::KEEL_FLDLIMIT);
  EXPECT_EQ(attempt([](auto& r) { r.indexPageSize = 512; }), ErrorCode::KEEL_INDEXLIMIT);
  EXPECT_EQ(attempt([](auto& r) { r.blobBlockSize = 32; }), ErrorCode::KEEL_BLOBLIMIT);
  EXPECT_EQ(attempt([](auto& r) { r.locale = 0x7FFF0; }), ErrorCode::KEEL_CANNOTLOADLDDRV);
  EXPECT_EQ(attempt([](auto& r) {
              r.encrypted = true;
              r.password = std::string(129, 'p');
            }),
            ErrorCode::KEEL_INVALIDPASSWORD);
  EXPECT_EQ(attempt([](auto&) {}), ErrorCode::KEEL_NONE);
  EXPECT_EQ(attempt([](auto&) {}), ErrorCode::KEEL_TABLEEXISTS);
  EXPECT_EQ(attempt([](auto& r) { r.replaceExisting = true; }), ErrorCode::KEEL_NONE);
  TDataCursor open(*directory_, "People");
  EXPECT_EQ(attempt([](auto& r) { r.replaceExisting = true; }), ErrorCode::KEEL_OSEACCES);
}

TEST_F(DataCursorTest, BlobValuesAreWrittenCompressedAndEmptiedWithTheirRow) {
  TableCreateRequest request;
  request.name = "Notes";
  FieldDescriptor text = Field("Text", FieldType::Blob);
  text.subtype = FieldSubtype::Memo;
  text.compression = 9;
  text.required = true;
  request.fields = {Field("Code", FieldType::Integer), text};
  directory_->createTable(request);
  TDataCursor cursor(*directory_, "Notes");
  std::string long_text;
  for (int i = 0; i < 200; ++i) long_text += "note " + std::to_string(i) + "; ";
  const std::vector<uint8_t> value(long_text.begin(), long_text.end());
  std::vector<uint8_t> row = cursor.newRow();
  EXPECT_EQ(codeOfError([&] { cursor.append(row); }), ErrorCode::KEEL_REQDERR);
  cursor.append(row, {{2, value}});
  EXPECT_EQ(cursor.blobValue(row, cursor.field("Text")), value);
  EXPECT_LT(cursor.table().blob()->blockCount(), 4);  // compressed: far fewer than 2.6 KB of blocks

  std::vector<uint8_t> current(cursor.rowSize());
  cursor.currentRow(current);
  const std::vector<uint8_t> shorter = {'x'};
  cursor.modify(current, {{2, shorter}});
  cursor.currentRow(current);
  EXPECT_EQ(cursor.blobValue(current, cursor.field("Text")), shorter);
  const int32_t blocks = cursor.table().blob()->blockCount();
  cursor.remove(current);
  EXPECT_EQ(cursor.table().blob()->blockCount(), blocks);  // the chain stays with the row slot
  cursor.append(row, {{2, value}});
  EXPECT_EQ(cursor.currentRowNumber(), 1);
  cursor.currentRow(current);
  EXPECT_EQ(cursor.blobValue(current, cursor.field("Text")), value);
}

// An index out of step with its rows (a row whose key the index does not
// hold) is still walked entry by entry: each row once, and the walk ends.
TEST_F(DataCursorTest, WalkOverAnIndexOutOfStepWithItsRowsVisitsEachEntryOnce) {
  directory_->createTable(People());
  TDataCursor cursor(*directory_, "People");
  add(cursor, 1, "Ada", "X");
  add(cursor, 2, "Bea", "X");
  add(cursor, 3, "Cyd", "X");
  {
    TPinnedUnit row = cursor.table().data().row(3);  // the cached row only: the index keeps "Cyd"
    SetFieldText({row->data(), row->size()}, cursor.field("Name"), "Aaa", 0);
  }
  cursor.setIndex("ByName");
  for (bool forward : {true, false}) {
    std::vector<int32_t> codes;
    for (Nav r = forward ? cursor.first() : cursor.last(); r == Nav::Ok && codes.size() < 10;
         r = forward ? cursor.next() : cursor.prior())
      codes.push_back(codeOf(cursor));
    EXPECT_EQ(codes, forward ? std::vector<int32_t>({1, 2, 3}) : std::vector<int32_t>({3, 2, 1}));
  }
}

// Keys out of order in a leaf never let a walk come back to an entry it has
// passed: the walk ends, forwards with the index reported damaged.
TEST_F(DataCursorTest, WalkOverUnsortedIndexKeysEnds) {
  directory_->createTable(People());
  TDataCursor cursor(*directory_, "People");
  for (int32_t code : {1, 2, 3}) add(cursor, code, "N", "T");
  TIndexAccess& byCode = cursor.table().access(1);
  TIndexSlotStore store(cursor.table().index(), 1);
  store.page(store.root()).setKey(2, byCode.keys().build(person(cursor, 1, "N", "T")));  // 1, 2, 1
  cursor.setIndex("ByCode");
  std::vector<int32_t> codes;
  EXPECT_EQ(codeOfError([&] {
              for (Nav r = cursor.first(); r == Nav::Ok && codes.size() < 10; r = cursor.next())
                codes.push_back(codeOf(cursor));
            }),
            ErrorCode::KEEL_INDEXCORRUPT);
  EXPECT_EQ(codes, std::vector<int32_t>({1, 2}));
  codes.clear();
  for (Nav r = cursor.last(); r == Nav::Ok && codes.size() < 10; r = cursor.prior()) codes.push_back(codeOf(cursor));
  EXPECT_LE(codes.size(), 3u);
}

// Code, Photo (plain binary BLOB) with 512-byte blocks.
TableCreateRequest Photos() {
  TableCreateRequest request;
  request.name = "Photos";
  request.fields = {Field("Code", FieldType::Integer), Field("Photo", FieldType::Blob)};
  return request;
}

std::vector<uint8_t> Pattern(size_t length, uint8_t seed) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + seed);
  return bytes;
}

TEST_F(DataCursorTest, NewRowInADeletedRowsSlotWritesIntoThatSlotsBlobChain) {
  directory_->createTable(Photos());
  TDataCursor cursor(*directory_, "Photos");
  const FieldDescriptor& photo = cursor.field("Photo");
  std::vector<uint8_t> first = cursor.newRow(), second = cursor.newRow();
  cursor.append(first, {{2, Pattern(1200, 1)}});  // three blocks
  cursor.append(second, {{2, Pattern(1200, 2)}});
  const int32_t blocks = cursor.table().blob()->blockCount();

  std::vector<uint8_t> current(cursor.rowSize());
  ASSERT_EQ(cursor.first(), Nav::Ok);
  cursor.currentRow(current);
  cursor.remove(current);
  std::vector<uint8_t> third = cursor.newRow();
  cursor.append(third, {{2, Pattern(1100, 3)}});

  EXPECT_EQ(cursor.currentRowNumber(), 1);
  EXPECT_EQ(cursor.table().blob()->blockCount(), blocks);
  EXPECT_EQ(cursor.blobValue(third, photo), Pattern(1100, 3));
  EXPECT_EQ(cursor.blobValue(second, photo), Pattern(1200, 2));
  // A NULL value in a reused slot keeps the chain for the next value.
  cursor.currentRow(current);
  cursor.remove(current);
  std::vector<uint8_t> empty = cursor.newRow();
  cursor.append(empty);
  EXPECT_TRUE(cursor.blobValue(empty, photo).empty());
  cursor.currentRow(current);
  cursor.modify(current, {{2, Pattern(1000, 4)}});
  cursor.currentRow(current);
  EXPECT_EQ(cursor.blobValue(current, photo), Pattern(1000, 4));
  EXPECT_EQ(cursor.table().blob()->blockCount(), blocks);
}

// A row read before another cursor rewrote, deleted or replaced it: its BLOB
// value is taken from the row as it is now, never from another record.
TEST_F(DataCursorTest, BlobOfARowChangedSinceItWasReadIsReadFromTheRowAsItIsNow) {
  directory_->createTable(Photos());
  TDataCursor reader(*directory_, "Photos");
  TDataCursor writer(*directory_, "Photos");
  const FieldDescriptor& photo = reader.field("Photo");
  std::vector<uint8_t> row = reader.newRow();
  writer.append(row, {{2, Pattern(700, 1)}});
  std::vector<uint8_t> seen(reader.rowSize());
  ASSERT_EQ(reader.first(), Nav::Ok);
  reader.currentRow(seen);

  std::vector<uint8_t> current(writer.rowSize());
  writer.currentRow(current);
  writer.modify(current, {{2, Pattern(900, 2)}});
  EXPECT_EQ(reader.blobValue(seen, photo), Pattern(900, 2));

  writer.currentRow(current);
  writer.remove(current);
  EXPECT_EQ(codeOfError([&] { reader.blobValue(seen, photo); }), ErrorCode::KEEL_KEYORRECDELETED);
  writer.append(row, {{2, Pattern(800, 3)}});  // another record in the same slot and chain
  EXPECT_EQ(codeOfError([&] { reader.blobValue(seen, photo); }), ErrorCode::KEEL_KEYORRECDELETED);
}

// A data file cut (at a row boundary or inside a row) while its header still
// counts the rows: a new row would land past a gap of zeros, which would read
// back as rows. The write is refused and changes nothing.
TEST_F(DataCursorTest, AFileShorterThanItsHeaderSaysIsNotWritten) {
  directory_->createTable(People());
  {
    TDataCursor cursor(*directory_, "People");
    for (int32_t code = 1; code <= 4; ++code) add(cursor, code, "N" + std::to_string(code), "T");
  }
  const std::string data = folder_ + "/People.dat";
  const uintmax_t whole = fs::file_size(data);
  for (const uintmax_t cutTo : {whole - 2 * (whole - 512 - 3 * 768) / 4, whole - 3}) {
    fs::resize_file(data, cutTo);
    TDataCursor cursor(*directory_, "People");
    EXPECT_EQ(codeOfError([&] { add(cursor, 9, "New", "T"); }), ErrorCode::KEEL_FILECORRUPT);
    EXPECT_EQ(fs::file_size(data), cutTo);
  }
}

TEST_F(DataCursorTest, MissingTableNamesItsFile) {
  try {
    TDataCursor cursor(*directory_, "Nowhere");
    FAIL();
  } catch (const EKeelEngineError& error) {
    EXPECT_EQ(error.code(), ErrorCode::KEEL_OSENOENT);
    EXPECT_EQ(error.context().table, folder_ + "/Nowhere.dat");
  }
}

TEST_F(DataCursorTest, AgreesWithAModelUnderRandomChanges) {
  directory_->createTable(People());
  TDataCursor cursor(*directory_, "People");
  cursor.setIndex("ByCode");
  std::map<int32_t, std::string> model;  // code -> name
  std::mt19937 random(99);
  for (int step = 0; step < 600; ++step) {
    const int32_t code = static_cast<int32_t>(random() % 200);
    const int op = static_cast<int>(random() % 3);
    const bool exists = model.count(code) != 0;
    if (op == 0 && !exists) {
      const std::string name = "n" + std::to_string(random() % 50);
      add(cursor, code, name, "t");
      model[code] = name;
    } else if (op == 1 && exists) {
      ASSERT_TRUE(cursor.findKey(person(cursor, code, "", "")));
      std::vector<uint8_t> row(cursor.rowSize());
      cursor.currentRow(row);
      cursor.remove(row);
      model.erase(code);
    } else if (op == 2 && exists) {
      ASSERT_TRUE(cursor.findKey(person(cursor, code, "", "")));
      const std::string name = "m" + std::to_string(random() % 50);
      cursor.modify(person(cursor, code, name, "u"));
      model[code] = name;
    }
  }
  std::vector<int32_t> expected;
  for (auto& [code, name] : model) expected.push_back(code);
  EXPECT_EQ(codesInOrder(cursor), expected);
  EXPECT_EQ(cursor.recordCount(), static_cast<int64_t>(model.size()));
  expectIndexesSound(cursor);
  EXPECT_TRUE(cursor.table().data().verifyStructure().empty());
}

}  // namespace
}  // namespace keel
