#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "ComponentFixture.h"
#include "engine/components/KeelTable.h"

namespace keel::testing {
namespace {

using std::chrono::milliseconds;

// Two sessions of the process on one table, as two programs sharing a
// folder would be: each has its own folder object, table and file handles,
// and sees the other's writes at its next read.
class KeelRecordLockTest : public ComponentTest {
 protected:
  void SetUp() override {
    ComponentTest::SetUp();
    TKeelTable people;
    point(people, "People");
    people.FieldDefs().Add("Code", TFieldType::ftInteger);
    people.FieldDefs().Add("Surname", TFieldType::ftString, 30);
    people.IndexDefs().Add("Primary", "Code", ixPrimary | ixUnique);
    people.CreateTableFromDefs();
    people.Open();
    for (int code : {1, 2}) {
      people.Append();
      people.FieldByName("Code").SetAsInteger(code);
      people.FieldByName("Surname").SetAsString("Name" + std::to_string(code));
      people.Post();
    }
    other_ = std::make_unique<TKeelSession>(engine());
    other_->SetSessionName("Other");
    for (TKeelSession* session : {&engine().DefaultSession(), other_.get()}) {
      session->SetLockRetryCount(kRetries);
      session->SetLockWaitTime(kWait);
      session->SetStrictChangeDetection(true);
    }
  }
  void TearDown() override {
    other_.reset();
    ComponentTest::TearDown();
  }

  void open(TKeelTable& t, const std::string& session = "") {
    t.SetSessionName(session);
    point(t, "People");
    t.Open();
  }
  TKeelSession& other() { return *other_; }

  static constexpr int kRetries = 3;
  static constexpr milliseconds kWait{40};

 private:
  std::unique_ptr<TKeelSession> other_;
};

TEST_F(KeelRecordLockTest, EditOfARowLockedElsewhereFailsAfterTheRetriesAndStaysBrowsing) {
  TKeelTable mine;
  TKeelTable theirs;
  open(mine);
  open(theirs, "Other");
  mine.Edit();

  const auto started = std::chrono::steady_clock::now();
  try {
    theirs.Edit();
    FAIL() << "the locked row was taken";
  } catch (const EKeelEngineError& error) {
    EXPECT_EQ(error.code(), ErrorCode::KEEL_RECLOCKFAILED);
    EXPECT_STREQ(error.what(), "Keel Engine Error # 10258 Cannot lock record in the table 'People'");
  }
  EXPECT_GE(std::chrono::steady_clock::now() - started, kRetries * kWait);
  EXPECT_EQ(theirs.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(DatabaseErrorOf([&] { theirs.FieldByName("Surname").SetAsString("x"); }),
            "Table is not in edit or insert mode");

  // Another row is free.
  theirs.Next();
  theirs.Edit();
  theirs.Cancel();
}

TEST_F(KeelRecordLockTest, PostAndCancelReleaseTheLock) {
  TKeelTable mine;
  TKeelTable theirs;
  open(mine);
  open(theirs, "Other");

  mine.Edit();
  mine.Cancel();
  theirs.Edit();  // free again after Cancel
  theirs.FieldByName("Surname").SetAsString("Theirs");
  EXPECT_EQ(EngineErrorOf([&] { mine.Edit(); }), ErrorCode::KEEL_RECLOCKFAILED);
  theirs.Post();

  mine.First();  // reads the row as the other session left it
  EXPECT_EQ(mine.FieldByName("Surname").AsString(), "Theirs");
  mine.Edit();  // free again after Post
  mine.FieldByName("Surname").SetAsString("Mine");
  mine.Post();

  // Closing a table in edit releases its lock too.
  theirs.First();
  theirs.Edit();
  theirs.Close();
  mine.Edit();
  mine.Cancel();
}

TEST_F(KeelRecordLockTest, OptimisticEditTakesNoLockAndPostRefusesARowChangedMeanwhile) {
  other().SetLockProtocol(LockProtocol::lpOptimistic);
  TKeelTable mine;
  TKeelTable theirs;
  open(mine);
  open(theirs, "Other");

  theirs.Edit();
  theirs.FieldByName("Surname").SetAsString("Theirs");
  mine.Edit();  // no lock stands in the way
  mine.FieldByName("Surname").SetAsString("Mine");
  mine.Post();

  EXPECT_EQ(EngineErrorOf([&] { theirs.Post(); }), ErrorCode::KEEL_KEYORRECDELETED);
  EXPECT_EQ(theirs.State(), TDataSetState::dsEdit);
  EXPECT_EQ(theirs.FieldByName("Surname").AsString(), "Theirs");
  theirs.Cancel();

  // Read anew, the row can be changed.
  theirs.First();
  EXPECT_EQ(theirs.FieldByName("Surname").AsString(), "Mine");
  theirs.Edit();
  theirs.FieldByName("Surname").SetAsString("Theirs");
  theirs.Post();
  mine.First();
  EXPECT_EQ(mine.FieldByName("Surname").AsString(), "Theirs");
}

}  // namespace
}  // namespace keel::testing
