// The folder object's lock file, cursors of one process that reach a table
// through different folder objects (two sessions), reads refused their lock,
// and tables kept open without cursors.

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/core/DataDirectoryLocks.h"
#include "engine/core/DataSession.h"
#include "tests/engine-locks/CodesTable.h"
#include "tests/engine-locks/LockTestSupport.h"

namespace keel {
namespace {

using testing::AppendCodes;
using testing::CodeIn;
using testing::CodesTable;
using testing::TempFolder;

std::vector<int32_t> CodesFrom(TDataCursor& cursor, Nav start) {
  std::vector<int32_t> codes;
  std::vector<uint8_t> row(cursor.rowSize());
  for (Nav r = start; r == Nav::Ok; r = cursor.next()) {
    cursor.currentRow(row);
    codes.push_back(CodeIn(cursor, row));
  }
  return codes;
}

// The lock file belongs to the folder object, not to its first table.
TEST(FolderObject, OpensTheLockFileWhenMadeAndReportsADamagedOne) {
  TDataEngine engine;
  TDataSession session(engine);
  TempFolder folder;
  folder.write("People.dat");
  {
    TDataDirectory directory(session, folder.path());
    EXPECT_TRUE(directory.locks().lockingEnabled());
    EXPECT_EQ(engine.files().openCount(folder.file("keel.lck"), false), 1);
    EXPECT_EQ(directory.locks().list().names(), std::vector<std::string>{"People"});
  }
  EXPECT_EQ(engine.files().openCount(folder.file("keel.lck"), false), 0) << "closed with the folder object";

  TDataDirectory missing(session, folder.file("absent"));
  EXPECT_FALSE(missing.locks().lockingEnabled());

  folder.write("keel.lck", testing::Bytes("01 00 00 00 40 00 00 00 03 41"));
  EXPECT_EQ(testing::CodeOf([&] { TDataDirectory damaged(session, folder.path()); }), 12036);
}

TEST(SharedTable, ACursorOfASecondFolderObjectSeesARowAppendedThroughTheFirst) {
  TempFolder folder;
  TDataEngine engine;
  TDataSession first(engine);
  TDataSession second(engine);
  TDataDirectory writerFolder(first, folder.path());
  TDataDirectory readerFolder(second, folder.path());
  writerFolder.createTable(CodesTable());
  TDataCursor writer(writerFolder, "Codes");
  AppendCodes(writer, 10, 30, 10);
  TDataCursor reader(readerFolder, "Codes");
  reader.setIndex("ByCode");
  ASSERT_EQ(reader.first(), Nav::Ok);
  ASSERT_EQ(reader.next(), Nav::Ok);  // on 20

  AppendCodes(writer, 25, 25);
  EXPECT_EQ(CodesFrom(reader, reader.next()), (std::vector<int32_t>{25, 30}));
  EXPECT_EQ(reader.recordCount(), 4);

  ASSERT_EQ(reader.first(), Nav::Ok);
  ASSERT_EQ(reader.next(), Nav::Ok);  // on 20
  ASSERT_TRUE(testing::DeleteCode(writer, 25));
  EXPECT_EQ(CodesFrom(reader, reader.next()), (std::vector<int32_t>{30})) << "the deleted row is not met";
  EXPECT_EQ(reader.recordCount(), 3);
}

// A read refused its lock leaves nothing behind: the next read locks and
// refreshes as usual.
TEST(SharedTable, AReadRefusedItsLockDoesNotStopLaterReadsFromRefreshing) {
  TempFolder folder;
  TDataEngine engine;
  engine.settings().TableReadLockRetryCount = 1;
  engine.settings().TableReadLockWaitTime = std::chrono::milliseconds(1);
  TDataSession session(engine);
  session.StrictChangeDetection = true;
  TDataDirectory directory(session, folder.path());
  directory.createTable(CodesTable());
  TDataCursor reader(directory, "Codes");

  TFileRegistry otherFiles;  // another program
  TDataDirectoryLocks other(otherFiles, folder.path(), testing::QuickEngineSettings());
  other.open();
  other.tableLocks("Codes", true).writeLock();
  EXPECT_EQ(testing::CodeOf([&] { reader.first(); }), 10225);
  other.tableLocks("Codes", true).writeUnlock();

  TDataEngine writerEngine;
  TDataSession writerSession(writerEngine);
  TDataDirectory writerFolder(writerSession, folder.path());
  TDataCursor writer(writerFolder, "Codes");
  AppendCodes(writer, 1, 2);
  EXPECT_EQ(CodesFrom(reader, reader.first()), (std::vector<int32_t>{1, 2}));
}

// A table kept open without cursors is taken up again as if opened anew:
// what another program wrote meanwhile is seen, and it can be replaced or
// opened exclusively.
TEST(SharedTable, ATableKeptOpenWithoutCursorsIsTakenUpAgainAsIfOpened) {
  TempFolder folder;
  TDataEngine engine;
  TDataSession session(engine);
  TDataDirectory directory(session, folder.path());
  directory.setKeepTablesOpen(true);
  directory.createTable(CodesTable());
  const std::string dataFile = folder.file("Codes.dat");
  {
    TDataCursor cursor(directory, "Codes");
    AppendCodes(cursor, 1, 3);
  }
  EXPECT_TRUE(directory.isOpen("Codes"));
  EXPECT_GT(engine.files().openCount(dataFile, false), 0);

  TDataEngine otherEngine;  // files of its own: another program
  TDataSession otherSession(otherEngine);
  TDataDirectory otherFolder(otherSession, folder.path());
  {
    TDataCursor writer(otherFolder, "Codes");
    AppendCodes(writer, 4, 5);
  }
  {
    TDataCursor cursor(directory, "Codes");
    EXPECT_EQ(CodesFrom(cursor, cursor.first()), (std::vector<int32_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(cursor.recordCount(), 5);
  }
  {
    TDataCursor exclusive(directory, "Codes", {.exclusive = true});
    EXPECT_EQ(exclusive.recordCount(), 5);
  }
  EXPECT_FALSE(directory.isOpen("Codes")) << "exclusive tables are not kept";
  { TDataCursor shared(directory, "Codes"); }
  TableCreateRequest replacement = CodesTable();
  replacement.replaceExisting = true;
  EXPECT_NO_THROW(directory.createTable(replacement));
  {
    TDataCursor cursor(directory, "Codes");
    EXPECT_EQ(cursor.recordCount(), 0);
  }
  directory.setKeepTablesOpen(false);
  EXPECT_FALSE(directory.isOpen("Codes"));
  EXPECT_EQ(engine.files().openCount(dataFile, false), 0);
}

}  // namespace
}  // namespace keel
