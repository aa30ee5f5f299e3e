// A reading that must be one state of its tables, beside a writer of another
// program (an engine with a registry of its own meets this one's files as a
// separate process would).

#include "engine/core/ConsistentRead.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/core/DataDirectoryLocks.h"
#include "engine/core/DataSession.h"
#include "tests/engine-locks/CodesTable.h"
#include "tests/engine-locks/LockTestSupport.h"

namespace keel {
namespace {

using testing::AppendCodes;
using testing::CodeIn;
using testing::CodesTable;
using testing::QuickEngineSettings;
using testing::TempFolder;

class ConsistentReadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (TDataEngine* engine : {&readerEngine_, &writerEngine_}) {
      TEngineSettings& settings = engine->settings();
      settings.TableReadLockRetryCount = settings.TableWriteLockRetryCount = 3;
      settings.TableReadLockWaitTime = settings.TableWriteLockWaitTime = std::chrono::milliseconds(1);
    }
    writerFolder_ = std::make_unique<TDataDirectory>(writerSession_, folder_.path());
    writerFolder_->createTable(CodesTable());
    writerFolder_->createTable(CodesTable("Other"));
    writer_ = std::make_unique<TDataCursor>(*writerFolder_, "Codes");
    AppendCodes(*writer_, 1, 10);
    readerFolder_ = std::make_unique<TDataDirectory>(readerSession_, folder_.path());
    reader_ = std::make_unique<TDataCursor>(*readerFolder_, "Codes", CursorOpenFlags{.readOnly = true});
    reader_->setIndex("ByCode");
  }

  std::vector<int32_t> readCodes() {
    std::vector<int32_t> codes;
    std::vector<uint8_t> row(reader_->rowSize());
    for (Nav at = reader_->first(); at == Nav::Ok; at = reader_->next()) {
      reader_->currentRow(row);
      codes.push_back(CodeIn(*reader_, row));
    }
    return codes;
  }
  // False when the reader holds the table and the writer's lock is refused.
  bool writerAppends(int32_t code) {
    try {
      AppendCodes(*writer_, code, code);
      return true;
    } catch (const EKeelEngineError& error) {
      EXPECT_EQ(static_cast<int>(error.code()), 10227);
      return false;
    }
  }

  TempFolder folder_;
  TDataEngine readerEngine_;
  TDataEngine writerEngine_;
  TDataSession readerSession_{readerEngine_};
  TDataSession writerSession_{writerEngine_};
  std::unique_ptr<TDataDirectory> writerFolder_;
  std::unique_ptr<TDataCursor> writer_;
  std::unique_ptr<TDataDirectory> readerFolder_;
  std::unique_ptr<TDataCursor> reader_;
};

TEST_F(ConsistentReadTest, AReadingAWriterChangedMeanwhileIsReadAgainWhole) {
  std::vector<int32_t> codes;
  TConsistentRead read({&reader_->table()});
  read.run([&] {
    codes = readCodes();
    if (codes.size() == 10) writerAppends(11);  // after the first reading only
  });
  EXPECT_EQ(read.attempts(), 2);
  EXPECT_EQ(codes.size(), 11u);
}

TEST_F(ConsistentReadTest, AReadingChangedEveryTimeHoldsTheReadLockTheLastTime) {
  std::vector<bool> wrote;
  std::vector<int32_t> codes;
  TConsistentRead read({&reader_->table(), &reader_->table()});
  read.run([&] {
    codes = readCodes();
    wrote.push_back(writerAppends(static_cast<int32_t>(100 + wrote.size())));
  });
  EXPECT_EQ(read.attempts(), TConsistentRead::kUnlockedAttempts + 1);
  EXPECT_EQ(wrote, (std::vector<bool>{true, true, true, false}));
  EXPECT_EQ(codes.size(), 13u) << "the last reading saw the third append and nothing after it";
  EXPECT_TRUE(writerAppends(200)) << "the read lock is let go at the end";
}

// Another program keeps one of the tables write-locked: the reading gives up
// with 10225 naming that table and leaves no read lock of the other behind.
TEST_F(ConsistentReadTest, AReadingOfATableThatStaysWriteLockedGivesUpHoldingNothing) {
  TDataCursor other(*readerFolder_, "Other", {.readOnly = true});
  TFileRegistry files;
  TDataDirectoryLocks peer(files, folder_.path(), QuickEngineSettings());
  peer.open();
  TDataTableLocks& otherLocks = peer.tableLocks("Other", TableListing::Join);
  otherLocks.writeLock();
  bool read = false;
  try {
    TConsistentRead({&reader_->table(), &other.table()}).run([&] { read = true; });
    ADD_FAILURE() << "Other cannot be read";
  } catch (const EKeelEngineError& error) {
    EXPECT_EQ(static_cast<int>(error.code()), 10225);
    EXPECT_NE(std::string(error.what()).find("'Other'"), std::string::npos) << error.what();
  }
  EXPECT_FALSE(read);
  EXPECT_TRUE(writerAppends(300)) << "no read lock of Codes stayed behind";
  otherLocks.writeUnlock();
}

}  // namespace
}  // namespace keel
