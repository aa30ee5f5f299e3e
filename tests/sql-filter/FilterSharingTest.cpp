// Filters on a table that others write at the same time: a long scan lets a
// writer of another process in between its read-lock batches, and a
// filtered cursor follows rows added, changed and deleted through another
// session or process.

#include <chrono>
#include <thread>

#include "tests/sql-filter/FilterFixture.h"
#include "tests/support/ChildProcess.h"

namespace keel::testing {
namespace {

using namespace std::chrono_literals;

// keel_filter_writer in a process of its own: it appends a row with I =
// `value` to "T" once told to go, and answers "done".
class WriterProcess : public mindrel::testing::ChildProcess {
 public:
  WriterProcess(const fs::path& folder, int32_t value)
      : ChildProcess(KEEL_FILTER_WRITER, {folder.string(), "T", std::to_string(value)}) {}
  void go() { say("go"); }
};

std::vector<Values> Numbered(int count, int32_t modulo) {
  std::vector<Values> rows;
  for (int32_t i = 0; i < count; ++i) rows.push_back({.I = i % modulo, .S = std::string(1, static_cast<char>('a' + i % 26))});
  return rows;
}

TEST_F(FilterTest, ALongScanLetsAWriterOfAnotherProcessInOnlyBetweenReadLockBatches) {
  struct Case {
    int maxReadLockCount;  // 400 records: batches of 1, or the whole table at once
    bool writerGetsIn;
  };
  for (const Case& c : {Case{400, true}, Case{1, false}}) {
    SCOPED_TRACE("TableMaxReadLockCount " + std::to_string(c.maxReadLockCount));
    TearDown();
    SetUp();
    CreateTable();
    Add(Numbered(400, 1));
    engine_.settings().TableMaxReadLockCount = c.maxReadLockCount;
    WriterProcess writer(root_, 5);
    TDataCursor cursor(*directory_, "T", {.physicalOrderOnly = true});
    cursor.table().data().dropCache();  // the scan's first read takes the read lock

    std::string answerDuringScan;
    int records = 0;
    TFilterList filters(cursor);
    filters.add([&](std::span<const uint8_t>) {
      if (++records == 1) writer.go();
      // A writer that can get in now has all the time it needs.
      if (records == 2) answerDuringScan = writer.line(2s);
      return true;
    });
    EXPECT_EQ(records, 400);
    EXPECT_EQ(answerDuringScan == "done", c.writerGetsIn) << answerDuringScan;
    if (!c.writerGetsIn) {
      EXPECT_EQ(writer.line(10s), "done");  // as soon as the scan let go
    }
    EXPECT_EQ(writer.finish(), 0);
  }
}

// A folder object of a second session on the same folder writes; the
// filtered cursor, in index order with and without the key list, follows.
TEST_F(FilterTest, AFilteredCursorFollowsWritesOfAnotherSession) {
  session_.StrictChangeDetection = true;  // others' changes show at the next operation
  CreateTable();
  Add(Numbered(40, 10));
  TDataEngine otherEngine(clock_);  // its own open files, as another program has
  TDataSession otherSession(otherEngine);
  TDataDirectory otherFolder(otherSession, root_.string());
  TDataCursor writer(otherFolder, "T", {.physicalOrderOnly = true});
  const FieldDescriptor& i = writer.field("I");
  auto valueOf = [&](std::span<const uint8_t> row) { return LoadI32(GetField(row, i).bytes.data()); };
  auto setValue = [&](std::span<uint8_t> row, int32_t value) {
    uint8_t bytes[4];
    StoreI32(bytes, value);
    SetFieldValue(row, i, bytes, 0);
  };
  // The first row of the writer's physical order with I = `value`.
  auto rowWith = [&](int32_t value) {
    std::vector<uint8_t> row(writer.rowSize());
    for (Nav at = writer.first(); at == Nav::Ok; at = writer.next()) {
      writer.currentRow(row);
      if (valueOf(row) == value) return row;
    }
    ADD_FAILURE() << "no row with I = " << value;
    return row;
  };

  for (const int threshold : {0, 100}) {
    SCOPED_TRACE("threshold " + std::to_string(threshold));
    TDataCursor cursor(*directory_, "T");
    cursor.setIndex("ByS");
    TFilterList filters(cursor, {.FilterIndexThreshhold = threshold});
    filters.add("I = 3");
    EXPECT_EQ(filters.recordCount(), 4);

    std::vector<uint8_t> row = writer.newRow();
    setValue(row, 3);
    SetFieldText(row, writer.field("S"), "new", 0);
    writer.append(row);
    EXPECT_EQ(filters.recordCount(), 5);
    EXPECT_EQ(AsSet(Visit(cursor)), Reference("I = 3"));
    EXPECT_EQ(cursor.navigatesKeyList(), threshold == 100);

    row = rowWith(4);
    setValue(row, 3);
    writer.modify(row);
    row = rowWith(3);
    writer.remove(row);
    row = rowWith(3);
    setValue(row, 9);
    writer.modify(row);
    EXPECT_EQ(filters.recordCount(), 4);
    const std::set<int64_t> expected = Reference("I = 3");
    EXPECT_EQ(AsSet(Visit(cursor)), expected);
    int backwards = cursor.last() == Nav::Ok;
    while (cursor.prior() == Nav::Ok) ++backwards;
    EXPECT_EQ(backwards, 4);
  }
}

TEST_F(FilterTest, AFilteredCursorSeesARowAnotherProcessAdded) {
  session_.StrictChangeDetection = true;
  CreateTable();
  Add(Numbered(40, 10));
  TDataCursor cursor(*directory_, "T");
  TFilterList filters(cursor);
  filters.add("I = 12");
  EXPECT_EQ(filters.recordCount(), 0);
  WriterProcess writer(root_, 12);
  writer.go();
  ASSERT_EQ(writer.line(10s), "done");
  EXPECT_EQ(writer.finish(), 0);
  EXPECT_EQ(filters.recordCount(), 1);
  EXPECT_EQ(Visit(cursor), (std::vector<int64_t>{41}));
}

}  // namespace
}  // namespace keel::testing
