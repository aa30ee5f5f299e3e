#include "engine/core/LockProtocol.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/DataDirectoryLocks.h"
#include "tests/engine-locks/LockTestSupport.h"

// Two "programs" on one folder: each has its own registry (so its own
// operating-system handles), folder locks, table and protocol.

namespace keel {
namespace {

using namespace std::chrono_literals;
using testing::CodeOf;
using testing::FakeTable;
using testing::QuickEngineSettings;
using testing::RangeIsFree;
using testing::TempFolder;

struct Program {
  Program(const TempFolder& folder, SessionLockSettings sessionSettings, bool exclusive = false)
      : session(std::move(sessionSettings)),
        directory(files, folder.path(), QuickEngineSettings()),
        table(files, folder.file("People.dat"), "People") {
    directory.open();
    entry = &directory.tableLocks("People", exclusive ? TableListing::None : TableListing::Join);
    protocol = std::make_unique<TLockProtocol>(table, *entry, session, exclusive);
  }

  SessionLockSettings session;
  TFileRegistry files;
  TDataDirectoryLocks directory;
  FakeTable table;
  TDataTableLocks* entry = nullptr;
  std::unique_ptr<TLockProtocol> protocol;
};

SessionLockSettings Quick(bool strict = false) {
  SessionLockSettings settings;
  settings.record = {3, 1ms};
  settings.strictChangeDetection = strict;
  return settings;
}

class LockProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override { folder.write("People.dat"); }

  // Whether some other program could write-lock the table now, i.e. nobody
  // holds its read or write lock.
  bool tableIsFree() {
    Program probe(folder, Quick());
    try {
      probe.entry->writeLock();
    } catch (const EKeelEngineError&) {
      return false;
    }
    probe.entry->writeUnlock();
    return true;
  }

  TempFolder folder;
};

TEST_F(LockProtocolTest, StrictReadsLockAndRefreshAtEveryOperation) {
  Program reader(folder, Quick(true));
  reader.table.changedOnNextRefresh = true;
  EXPECT_TRUE(reader.protocol->beginRead());
  EXPECT_EQ(reader.table.refreshes, 1);
  EXPECT_FALSE(tableIsFree());
  EXPECT_FALSE(reader.protocol->readForPageMiss()) << "the operation already holds its lock";
  EXPECT_EQ(reader.table.refreshes, 1);
  reader.protocol->endRead();
  EXPECT_TRUE(tableIsFree());
  EXPECT_FALSE(reader.protocol->beginRead());
  EXPECT_EQ(reader.table.refreshes, 2);
  reader.protocol->endRead();
}

TEST_F(LockProtocolTest, RelaxedReadsLockOnlyWhenAPageComesFromDisk) {
  Program reader(folder, Quick(false));
  EXPECT_FALSE(reader.protocol->beginRead());
  EXPECT_EQ(reader.table.refreshes, 0);
  EXPECT_TRUE(tableIsFree());
  reader.table.changedOnNextRefresh = true;
  EXPECT_TRUE(reader.protocol->readForPageMiss()) << "the operation must start again";
  EXPECT_FALSE(tableIsFree());
  EXPECT_FALSE(reader.protocol->readForPageMiss());
  EXPECT_EQ(reader.table.refreshes, 1);
  reader.protocol->endRead();
  EXPECT_TRUE(tableIsFree());
  reader.protocol->endRead();  // ending a read that took nothing is harmless
}

TEST_F(LockProtocolTest, ExclusiveTablesNeitherLockNorRefresh) {
  Program owner(folder, Quick(true), true);
  EXPECT_EQ(owner.entry->slot(), 0u);
  EXPECT_FALSE(owner.protocol->beginRead());
  EXPECT_FALSE(owner.protocol->readForPageMiss());
  EXPECT_FALSE(owner.protocol->beginWrite());
  EXPECT_TRUE(tableIsFree());
  owner.protocol->endWrite();
  owner.protocol->endRead();
  EXPECT_EQ(owner.table.refreshes, 0);
  EXPECT_EQ(owner.table.writeBacks, 1) << "deferring the write back is the table's business";
}

TEST_F(LockProtocolTest, WritesRefreshFirstAndReleaseOnlyAfterWritingBack) {
  Program writer(folder, Quick());
  Program reader(folder, Quick());
  EXPECT_FALSE(writer.protocol->beginWrite());
  EXPECT_EQ(writer.table.refreshes, 1);
  EXPECT_EQ(CodeOf([&] { reader.protocol->readForPageMiss(); }), 10225);
  writer.protocol->endWrite();
  EXPECT_EQ(writer.table.writeBacks, 1);
  EXPECT_TRUE(tableIsFree());
}

TEST_F(LockProtocolTest, FailuresInsideAWriteLeaveNoLockBehind) {
  Program writer(folder, Quick());
  writer.table.refreshFails = true;
  EXPECT_EQ(CodeOf([&] { writer.protocol->beginWrite(); }), 9217);
  EXPECT_EQ(writer.entry->held(), 0);
  EXPECT_TRUE(tableIsFree());

  writer.table.refreshFails = false;
  writer.protocol->beginWrite();
  writer.table.writeBackFails = true;
  EXPECT_EQ(CodeOf([&] { writer.protocol->endWrite(); }), 9218) << "the write back's error wins";
  EXPECT_EQ(writer.entry->held(), 0);
  EXPECT_TRUE(tableIsFree());

  writer.table.refreshFails = true;
  EXPECT_EQ(CodeOf([&] { writer.protocol->readForPageMiss(); }), 9217);
  EXPECT_TRUE(tableIsFree());

  writer.table.refreshFails = false;
  writer.table.writeBackFails = false;
  writer.table.writeBacks = 0;
  writer.protocol->beginWrite();
  writer.protocol->abortWrite();  // an operation that failed half-way
  EXPECT_EQ(writer.table.writeBacks, 0) << "its changes wait for the next write back";
  EXPECT_TRUE(tableIsFree());
}

TEST_F(LockProtocolTest, AWriteInsideAReadGivesUpItsOwnReadLockFirst) {
  Program cursor(folder, Quick(true));
  cursor.protocol->beginRead();
  EXPECT_NO_THROW(cursor.protocol->beginWrite());
  cursor.protocol->endWrite();
  cursor.protocol->endRead();
  EXPECT_TRUE(tableIsFree());
}

TEST_F(LockProtocolTest, ARowHeldElsewhereIsRetriedWithoutTheReadLockThenRefused) {
  Program owner(folder, Quick());
  owner.protocol->lockRow(5);
  owner.protocol->endRead();

  SessionLockSettings session;  // the default 15 retries 100 ms apart
  std::vector<std::chrono::milliseconds> waits;
  std::vector<bool> readHeldWhileWaiting;
  Program editor(folder, session);
  editor.session.sleep = [&](std::chrono::milliseconds wait) {
    waits.push_back(wait);
    readHeldWhileWaiting.push_back(editor.entry->holdsRead());
  };
  EXPECT_EQ(CodeOf([&] { editor.protocol->lockRow(5); }), 10258);
  EXPECT_EQ(waits, std::vector<std::chrono::milliseconds>(15, 100ms));
  EXPECT_EQ(readHeldWhileWaiting, std::vector<bool>(15, false));
  EXPECT_FALSE(editor.protocol->rowLocked(5));
  EXPECT_EQ(editor.entry->held(), 0);
  EXPECT_TRUE(tableIsFree()) << "no read lock may outlive the failure";
  EXPECT_EQ(editor.table.refreshes, 16) << "the read lock is taken afresh for every attempt";
}

TEST_F(LockProtocolTest, ARowIsTakenOnceItsOwnerLetsGo) {
  Program owner(folder, Quick());
  owner.protocol->lockRow(2);
  owner.protocol->endRead();
  Program editor(folder, Quick());
  int waits = 0;
  editor.session.sleep = [&](std::chrono::milliseconds) {
    if (++waits == 2) owner.protocol->unlockRow(2);
  };
  editor.protocol->lockRow(2);
  EXPECT_EQ(waits, 2);
  EXPECT_TRUE(editor.protocol->rowLocked(2));
  EXPECT_TRUE(editor.entry->holdsRead()) << "the operation's end releases it";
  editor.protocol->endRead();
  EXPECT_TRUE(tableIsFree());
  EXPECT_FALSE(RangeIsFree(folder.file("People.dat"), editor.directory.layout().row(2)));
  editor.protocol->unlockRow(2);
  EXPECT_TRUE(RangeIsFree(folder.file("People.dat"), editor.directory.layout().row(2)));
}

TEST_F(LockProtocolTest, RowLockMisuseIsRefusedAtOnce) {
  Program editor(folder, Quick());
  int waits = 0;
  editor.session.sleep = [&](std::chrono::milliseconds) { ++waits; };
  editor.protocol->lockRow(1);
  editor.protocol->endRead();
  EXPECT_EQ(CodeOf([&] { editor.protocol->lockRow(1); }), 10258) << "already locked here";
  EXPECT_EQ(CodeOf([&] { editor.protocol->lockRow(0); }), 10258);
  EXPECT_EQ(CodeOf([&] { editor.protocol->unlockRow(9); }), 10242);
  editor.protocol->unlockRow(1);
  EXPECT_EQ(CodeOf([&] { editor.protocol->unlockRow(1); }), 10242);
  editor.protocol->lockTable();
  EXPECT_EQ(CodeOf([&] { editor.protocol->lockRow(3); }), 10258) << "the table lock covers it";
  EXPECT_EQ(waits, 0);
  EXPECT_TRUE(tableIsFree());
}

TEST_F(LockProtocolTest, TheWholeTableLockExcludesRowLocksBothWays) {
  Program a(folder, Quick());
  Program b(folder, Quick());
  a.protocol->lockRow(3);
  a.protocol->endRead();
  EXPECT_EQ(CodeOf([&] { a.protocol->lockTable(); }), 10241) << "holds a row lock";
  EXPECT_EQ(CodeOf([&] { b.protocol->lockTable(); }), 10241) << "a's row is inside the range";
  a.protocol->unlockRow(3);

  const int refreshes = a.table.refreshes;
  a.protocol->lockTable();
  EXPECT_EQ(a.table.refreshes, refreshes + 1);
  EXPECT_TRUE(a.protocol->tableLocked());
  EXPECT_EQ(CodeOf([&] { a.protocol->lockTable(); }), 10241);
  EXPECT_EQ(CodeOf([&] { b.protocol->lockRow(7); }), 10258);
  EXPECT_TRUE(tableIsFree());
  a.protocol->unlockTable();
  EXPECT_EQ(CodeOf([&] { a.protocol->unlockTable(); }), 10242);
  b.protocol->lockRow(7);
}

TEST_F(LockProtocolTest, SemaphoresAreNumberedOneTo1024AndExclusive) {
  Program a(folder, Quick());
  Program b(folder, Quick());
  EXPECT_FALSE(a.protocol->lockSemaphore(0));
  EXPECT_FALSE(a.protocol->lockSemaphore(1025));
  EXPECT_TRUE(a.protocol->lockSemaphore(1));
  EXPECT_TRUE(a.protocol->lockSemaphore(1024));
  EXPECT_FALSE(a.protocol->lockSemaphore(1)) << "already held";
  EXPECT_FALSE(b.protocol->lockSemaphore(1));
  EXPECT_TRUE(b.protocol->lockSemaphore(2));
  EXPECT_TRUE(a.protocol->unlockSemaphore(1));
  EXPECT_FALSE(a.protocol->unlockSemaphore(1));
  EXPECT_TRUE(b.protocol->lockSemaphore(1));
  EXPECT_NO_THROW(a.protocol->lockTable()) << "semaphores lie outside the rows";
}

TEST_F(LockProtocolTest, ClosingTheTableReleasesEveryLockItHolds) {
  Program b(folder, Quick());
  {
    Program a(folder, Quick());
    a.protocol->lockRow(4);
    a.protocol->endRead();
    EXPECT_TRUE(a.protocol->lockSemaphore(9));
    a.protocol->beginWrite();  // an operation cut short
  }
  EXPECT_TRUE(tableIsFree());
  EXPECT_NO_THROW(b.protocol->lockTable());
  EXPECT_TRUE(b.protocol->lockSemaphore(9));
}

TEST_F(LockProtocolTest, WithoutFolderLockingRowLocksSucceedAtOnce) {
  std::filesystem::create_directory(folder.file("keel.lck"));
  Program editor(folder, Quick());
  ASSERT_FALSE(editor.directory.lockingEnabled());
  TPhysicalFile other(folder.file("People.dat"));
  other.open(false, false);
  const LockRange row1 = editor.directory.layout().row(1);
  ASSERT_TRUE(other.lockRange(row1.offset, row1.length));
  EXPECT_NO_THROW(editor.protocol->lockRow(1));
  editor.protocol->unlockRow(1);
  EXPECT_NO_THROW(editor.protocol->lockTable()) << "nothing is asked of the system";
}

}  // namespace
}  // namespace keel
