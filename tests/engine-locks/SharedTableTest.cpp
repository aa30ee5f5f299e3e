// The folder object's lock file, cursors of one process that reach a table
// through different folder objects (two sessions), reads refused their lock,
// and tables kept open without cursors.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

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

// The lock file belongs to the folder object, not to its first table: an
// existing one is opened with the folder, a missing one is not made by it.
TEST(FolderObject, OpensAnExistingLockFileAndReportsADamagedOne) {
  TDataEngine engine;
  TDataSession session(engine);
  TempFolder folder;
  folder.write("People.dat");
  {
    TDataDirectory directory(session, folder.path());
    EXPECT_FALSE(directory.locks().lockingEnabled());
  }
  EXPECT_FALSE(std::filesystem::exists(folder.file("keel.lck")));
  folder.write("keel.lck", testing::Bytes("01000000 0B000000 06 50656F706C65"));
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
  other.tableLocks("Codes", TableListing::Join).writeLock();
  EXPECT_EQ(testing::CodeOf([&] { reader.first(); }), 10225);
  other.tableLocks("Codes", TableListing::Join).writeUnlock();

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

// The family-tree folder is read, never written: a cursor opened for reading
// opens every file of its table for reading only, makes no lock file and
// adds nothing to one; a writer of the same process gets handles of its own
// and the reader sees its rows.
TEST(FolderObject, ACursorOpenedForReadingLeavesTheFolderUntouched) {
  TempFolder folder;
  {
    TDataEngine engine;
    TDataSession session(engine);
    TDataDirectory writing(session, folder.path());
    writing.createTable(CodesTable());
    TDataCursor codes(writing, "Codes");
    AppendCodes(codes, 1, 40);
  }
  size_t rows = 40;
  for (const bool withLockFile : {false, true}) {
    SCOPED_TRACE(withLockFile ? "with a lock file" : "without a lock file");
    if (!withLockFile) std::filesystem::remove(folder.file("keel.lck"));
    auto snapshot = [&] {
      std::map<std::string, std::pair<std::vector<uint8_t>, std::filesystem::file_time_type>> files;
      for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        const std::string name = entry.path().filename().string();
        files[name] = {folder.read(name), entry.last_write_time()};
      }
      return files;
    };
    const auto before = snapshot();
    TDataEngine engine;
    TDataSession session(engine);
    TDataDirectory reading(session, folder.path());
    TDataCursor codes(reading, "Codes", {.readOnly = true});
    EXPECT_EQ(CodesFrom(codes, codes.first()).size(), rows);
    EXPECT_TRUE(codes.table().data().openedReadOnly());
    EXPECT_TRUE(codes.table().index().openedReadOnly());
    EXPECT_FALSE(codes.table().filesWriteProtected());
    EXPECT_EQ(snapshot(), before);

    TDataDirectory writing(session, folder.path());
    TDataCursor writer(writing, "Codes");
    EXPECT_FALSE(writer.table().data().openedReadOnly()) << "a writer of the process has a handle of its own";
    ++rows;
    AppendCodes(writer, static_cast<int32_t>(rows), static_cast<int32_t>(rows));
    EXPECT_EQ(CodesFrom(codes, codes.first()).size(), rows);
  }
}

}  // namespace
}  // namespace keel
