// A run of lookups through a read batch keeps the table's read lock from one
// lookup to the next: a writer of another process waits until the batch lets
// the lock go, gets in then, and the lookups after it see its row.

#include "engine/components/KeelReadBatch.h"

#include <chrono>
#include <string>

#include "tests/components/ComponentFixture.h"
#include "tests/support/ChildProcess.h"

namespace keel::testing {
namespace {

using namespace std::chrono_literals;

// keel_filter_writer: appends a row with I = `value` once told to go, then
// answers "done".
class WriterProcess : public mindrel::testing::ChildProcess {
 public:
  WriterProcess(const std::string& folder, int value)
      : ChildProcess(KEEL_FILTER_WRITER, {folder, "T", std::to_string(value)}) {}
  void go() { say("go"); }
};

class KeelReadBatchTest : public ComponentTest {
 protected:
  void createNumbers(int count) {
    TKeelTable table;
    point(table, "T");
    table.FieldDefs().Add("I", TFieldType::ftInteger);
    table.IndexDefs().Add("Primary", "I", ixPrimary | ixUnique);
    table.CreateTableFromDefs();
    table.Open();
    for (int i = 1; i <= count; ++i) {
      table.Append();
      table.FieldByName("I").SetAsInteger(i);
      table.Post();
    }
    table.Close();
  }

  static bool Find(TKeelTable& table, int value) {
    table.EnterKeyMode();
    table.FieldByName("I").SetAsInteger(value);
    return table.SearchKey();
  }
};

TEST_F(KeelReadBatchTest, AWriterGetsInOnlyWhenTheBatchPausesAndItsRowIsSeenAfterwards) {
  createNumbers(50);
  engine().DefaultSession().SetStrictChangeDetection(true);  // every lookup asks for the lock
  TKeelTable table;
  point(table, "T");
  table.Open();
  WriterProcess writer(folder(), 1000);
  {
    TKeelReadBatch batch(table);
    ASSERT_TRUE(Find(table, 1));
    writer.go();
    for (int step = 1; step < TKeelReadBatch::kStepsBetweenPauses; ++step) {
      EXPECT_TRUE(Find(table, 1 + step % 50));
      batch.Step();
    }
    // A writer that could get in has had all the time it needs.
    EXPECT_EQ(writer.line(500ms), "");
    EXPECT_FALSE(Find(table, 1000));
    batch.Step();
    EXPECT_EQ(writer.line(10s), "done");
    EXPECT_TRUE(Find(table, 1000));
  }
  EXPECT_EQ(writer.finish(), 0);
}

}  // namespace
}  // namespace keel::testing
