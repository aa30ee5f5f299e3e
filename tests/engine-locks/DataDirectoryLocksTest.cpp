#include "engine/core/DataDirectoryLocks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/LockFile.h"
#include "tests/engine-locks/LockTestSupport.h"

// Each TFileRegistry below opens its own operating-system handles, so two
// registries on one folder meet exactly as two processes do.

namespace keel {
namespace {

using testing::CodeOf;
using testing::QuickEngineSettings;
using testing::RangeIsFree;
using testing::TempFolder;

class Peer {
 public:
  Peer(const std::string& folder, EngineLockSettings settings = QuickEngineSettings())
      : locks(files, folder, std::move(settings)) {
    locks.open();
  }
  TDataTableLocks& table(const std::string& name) { return locks.tableLocks(name, TableListing::Join); }

  TFileRegistry files;
  TDataDirectoryLocks locks;
};

TLockFile ListOnDisk(const TempFolder& folder) {
  return TLockFile::Decode(folder.read("keel.lck"), "keel.lck");
}

TEST(DataDirectoryLocks, ANewLockFileListsTheFolderTablesBeforeNewOnes) {
  TempFolder folder;
  folder.write("People.dat");
  folder.write("Families.DAT");
  folder.write("People.idx");
  folder.write("notes.txt");
  Peer peer(folder.path());
  EXPECT_FALSE(peer.locks.lockingEnabled()) << "opening a folder makes no lock file";
  EXPECT_FALSE(std::filesystem::exists(folder.file("keel.lck")));

  EXPECT_EQ(peer.table("people").slot(), 2u) << "the first writer makes it";
  // The worked example of docs/formats/lock-file.md.
  EXPECT_EQ(folder.read("keel.lck"), testing::Bytes("01000000 14000000 08 46616D696C696573 06 50656F706C65"));
  EXPECT_EQ(ListOnDisk(folder).counter(), 1) << "finding a listed table rewrites nothing";
  EXPECT_EQ(peer.table("Events").slot(), 3u);
  EXPECT_EQ(folder.read("keel.lck"),
            testing::Bytes("02000000 1B000000 08 46616D696C696573 06 50656F706C65 06 4576656E7473"));
}

TEST(DataDirectoryLocks, TheFirstTableOfAnEmptyFolderIsSlotOne) {
  TempFolder folder;
  Peer peer(folder.path());
  EXPECT_TRUE(ListOnDisk(folder).names().empty());
  EXPECT_EQ(peer.table("Ignore").slot(), 1u);
}

TEST(DataDirectoryLocks, PeersAgreeOnSlotsAppendedByEachOther) {
  TempFolder folder;
  Peer a(folder.path());
  Peer b(folder.path());
  EXPECT_EQ(a.table("X").slot(), 1u);
  EXPECT_EQ(b.table("Y").slot(), 2u);  // b re-reads the list a changed
  EXPECT_EQ(a.table("y").slot(), 2u);  // and a the one b changed
  EXPECT_EQ(a.table("Z").slot(), 3u);
  EXPECT_EQ(b.table("Z").slot(), 3u);
  EXPECT_EQ(ListOnDisk(folder).counter(), 4);
}

TEST(DataDirectoryLocks, ReadersCoexistAndExcludeWriters) {
  TempFolder folder;
  Peer a(folder.path()), b(folder.path()), c(folder.path());
  TDataTableLocks& readerA = a.table("People");
  TDataTableLocks& readerB = b.table("People");
  TDataTableLocks& writer = c.table("People");
  TDataTableLocks& otherTable = c.table("Families");

  EXPECT_TRUE(readerA.readLock());
  EXPECT_TRUE(readerB.readLock());
  EXPECT_EQ(CodeOf([&] { writer.writeLock(); }), 10227);
  EXPECT_FALSE(writer.holdsAny());
  EXPECT_NO_THROW(otherTable.writeLock()) << "another table's write lock is not in the way";
  otherTable.writeUnlock();

  readerA.readUnlock();
  EXPECT_EQ(CodeOf([&] { writer.writeLock(); }), 10227) << "one reader is still there";
  readerB.readUnlock();
  writer.writeLock();
  EXPECT_EQ(CodeOf([&] { readerA.readLock(); }), 10225);
  EXPECT_FALSE(readerA.holdsRead());
  writer.writeUnlock();
  EXPECT_TRUE(readerA.readLock());
  readerA.readUnlock();
}

TEST(DataDirectoryLocks, AWriterWaitsUntilTheReadersHaveFinished) {
  TempFolder folder;
  Peer a(folder.path()), b(folder.path());
  TDataTableLocks& readerA = a.table("People");
  TDataTableLocks& readerB = b.table("People");
  readerA.readLock();
  readerB.readLock();
  EngineLockSettings settings = QuickEngineSettings();
  int waits = 0;
  settings.sleep = [&](std::chrono::milliseconds) {
    ++waits;
    if (waits == 2) readerA.readUnlock();
    if (waits == 4) readerB.readUnlock();
  };
  Peer writer(folder.path(), settings);
  EXPECT_NO_THROW(writer.table("People").writeLock());
  EXPECT_EQ(waits, 4);
}

// Between the batches of a long scan the reader looks whether a writer of
// another program waits (it holds the transaction byte) and gives it two of
// the write lock's waits, no more.
TEST(DataDirectoryLocks, AScanBetweenBatchesGivesAWaitingWriterItsTurn) {
  struct Case {
    const char* what;
    int releasedAtWait;  // 0: the byte is free from the start; -1: never released
    int waits;
  };
  for (const Case& c : {Case{"nobody waits", 0, 0}, Case{"the writer is done after one wait", 1, 1},
                        Case{"a transaction elsewhere keeps the byte", -1, 2}}) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    TPhysicalFile writer(folder.file("keel.lck"));
    EngineLockSettings settings = QuickEngineSettings();
    int waits = 0;
    LockRange writersByte{};
    settings.sleep = [&](std::chrono::milliseconds) {
      if (++waits == c.releasedAtWait) writer.unlockRange(writersByte.offset, writersByte.length);
    };
    Peer scanner(folder.path(), settings);
    TDataTableLocks& people = scanner.table("People");
    writersByte = scanner.locks.layout().transactionByte(people.slot());
    writer.open(false, false);
    if (c.releasedAtWait != 0) {
      ASSERT_TRUE(writer.lockRange(writersByte.offset, writersByte.length));
    }
    people.letWaitingWriterIn();
    EXPECT_EQ(waits, c.waits);
    EXPECT_EQ(people.held(), 0);
    if (c.releasedAtWait >= 0) {
      EXPECT_TRUE(RangeIsFree(folder.file("keel.lck"), writersByte));
    }
  }
}

TEST(DataDirectoryLocks, AReaderPicksANewRandomByteForEveryAttempt) {
  TempFolder folder;
  EngineLockSettings settings = QuickEngineSettings();
  settings.tableRead = {60, std::chrono::milliseconds(0)};
  Peer reader(folder.path(), settings);
  TDataTableLocks& people = reader.table("People");
  // Someone holds the lower half of the table's read bytes: a reader stuck
  // with its first byte would fail half the time.
  TPhysicalFile other(folder.file("keel.lck"));
  other.open(false, false);
  const LockRange region = reader.locks.layout().tableWrite(people.slot());
  ASSERT_TRUE(other.lockRange(region.offset, region.length / 2));
  for (int i = 0; i < 20; ++i) {
    ASSERT_NO_THROW(people.readLock()) << "attempt " << i;
    people.readUnlock();
  }
}

TEST(DataDirectoryLocks, AFailedWriteLockLeavesTheTransactionByteFree) {
  TempFolder folder;
  Peer reader(folder.path()), writer(folder.path());
  reader.table("People").readLock();
  TDataTableLocks& people = writer.table("People");
  EXPECT_EQ(CodeOf([&] { people.writeLock(); }), 10227);
  EXPECT_EQ(people.held(), 0);
  const TLockLayout& layout = writer.locks.layout();
  EXPECT_TRUE(RangeIsFree(folder.file("keel.lck"), layout.transactionByte(people.slot())));
  EXPECT_TRUE(RangeIsFree(folder.file("keel.lck"), layout.allTransactionBytes()));
}

TEST(DataDirectoryLocks, WriteLockTakesTheTransactionByteAndReleasesBoth) {
  TempFolder folder;
  Peer writer(folder.path());
  TDataTableLocks& people = writer.table("People");
  const TLockLayout& layout = writer.locks.layout();
  const std::string lockFile = folder.file("keel.lck");
  people.writeLock();
  EXPECT_FALSE(RangeIsFree(lockFile, layout.transactionByte(people.slot())));
  EXPECT_FALSE(RangeIsFree(lockFile, layout.tableWrite(people.slot())));
  people.writeUnlock();
  EXPECT_TRUE(RangeIsFree(lockFile, layout.transactionByte(people.slot())));
  EXPECT_TRUE(RangeIsFree(lockFile, layout.tableWrite(people.slot())));
  EXPECT_EQ(CodeOf([&] { people.writeUnlock(); }), 10228) << "nothing left to release";
  EXPECT_EQ(CodeOf([&] { people.readUnlock(); }), 10226);
}

TEST(DataDirectoryLocks, ATransactionHoldsOffOtherWritersButNotItsOwn) {
  TempFolder folder;
  Peer owner(folder.path()), other(folder.path());
  TDataTableLocks& mine = owner.table("People");
  TDataTableLocks& theirs = other.table("People");
  owner.locks.lockAllTransactions();
  EXPECT_EQ(CodeOf([&] { other.locks.lockAllTransactions(); }), 10229);
  EXPECT_EQ(CodeOf([&] { theirs.writeLock(); }), 10227);
  mine.writeLock();  // inside its transaction a writer takes no byte of its own
  mine.writeUnlock();
  owner.locks.unlockAllTransactions();
  EXPECT_EQ(CodeOf([&] { owner.locks.unlockAllTransactions(); }), 10230);
  theirs.writeLock();
  theirs.writeUnlock();
}

TEST(DataDirectoryLocks, AllTableWritesExcludeEveryReader) {
  TempFolder folder;
  Peer owner(folder.path()), other(folder.path());
  TDataTableLocks& reader = other.table("Links");
  owner.locks.lockAllTableWrites();
  EXPECT_EQ(CodeOf([&] { reader.readLock(); }), 10225);
  owner.locks.unlockAllTableWrites();
  EXPECT_TRUE(reader.readLock());
  EXPECT_EQ(CodeOf([&] { owner.locks.lockAllTableWrites(); }), 10227);
}

TEST(DataDirectoryLocks, ListLocksExcludeEachOtherAcrossPeers) {
  TempFolder folder;
  Peer a(folder.path()), b(folder.path());
  a.table("Families");
  b.table("Families");
  a.locks.lockListShared();
  b.locks.lockListShared();  // shared bytes coexist
  EXPECT_EQ(CodeOf([&] { a.locks.lockListExclusive(); }), 10223);
  EXPECT_EQ(CodeOf([&] { b.table("People"); }), 10223) << "joining the list needs it exclusively";
  a.locks.unlockListShared();
  b.locks.unlockListShared();
  EXPECT_EQ(CodeOf([&] { b.locks.unlockListShared(); }), 10222);
  a.locks.lockListExclusive();
  EXPECT_EQ(CodeOf([&] { b.locks.lockListShared(); }), 10221);
  a.locks.unlockListExclusive();
  EXPECT_EQ(CodeOf([&] { a.locks.unlockListExclusive(); }), 10224);
  EXPECT_EQ(b.table("People").slot(), 2u);
}

TEST(DataDirectoryLocks, LargeFileSupportLocksFarBeyondFourGiB) {
  TempFolder folder;
  Peer writer(folder.path(), QuickEngineSettings(true));
  TDataTableLocks& people = writer.table("People");
  people.writeLock();
  const std::string lockFile = folder.file("keel.lck");
  const LockRange large = TLockLayout(true).tableWrite(people.slot());
  ASSERT_GT(large.offset, 0xFFFFFFFFULL);
  EXPECT_FALSE(RangeIsFree(lockFile, large));
  EXPECT_TRUE(RangeIsFree(lockFile, TLockLayout(false).tableWrite(people.slot())));
  people.writeUnlock();
  EXPECT_TRUE(RangeIsFree(lockFile, large));
}

TEST(DataDirectoryLocks, ALockFileThatCannotBeMadeSwitchesLockingOff) {
  TempFolder folder;
  std::filesystem::create_directory(folder.file("keel.lck"));  // in the way of the file
  Peer peer(folder.path());
  EXPECT_FALSE(peer.locks.lockingEnabled());
  TDataTableLocks& people = peer.table("People");
  EXPECT_EQ(people.slot(), 0u);
  EXPECT_TRUE(people.readLock());
  people.readUnlock();
  EXPECT_NO_THROW(people.writeLock());
  people.writeUnlock();
  EXPECT_NO_THROW(peer.locks.lockListExclusive());
  EXPECT_NO_THROW(peer.locks.lockAllTransactions());
}

// Another program may hold the lock file exclusively for a moment; others
// retry their shared open meanwhile, and give up locking when it never
// becomes free.
TEST(DataDirectoryLocks, OpeningWaitsForTheLockFileCreatorThenGivesUp) {
  TempFolder folder;
  TFileRegistry creatorFiles;
  FileHandle creator = creatorFiles.create(folder.file("keel.lck"), {.exclusive = true}, false);
  const std::vector<uint8_t> list = TLockFile().encode();
  creator.file->writeAt(0, list.data(), list.size());

  EngineLockSettings settings = QuickEngineSettings();
  settings.lockFileOpen = {11, std::chrono::milliseconds(100)};
  int waits = 0;
  settings.sleep = [&](std::chrono::milliseconds wait) {
    EXPECT_EQ(wait, std::chrono::milliseconds(100));
    if (++waits == 3) creatorFiles.close(creator);
  };
  {
    Peer patient(folder.path(), settings);
    EXPECT_EQ(waits, 3);
    EXPECT_TRUE(patient.locks.lockingEnabled());
  }

  FileHandle holder = creatorFiles.open(folder.file("keel.lck"), {.exclusive = true});
  waits = 0;
  settings.sleep = [&](std::chrono::milliseconds) { ++waits; };
  TFileRegistry files;
  TDataDirectoryLocks late(files, folder.path(), settings);
  late.open();
  EXPECT_EQ(waits, 11);
  EXPECT_FALSE(late.lockingEnabled());
  creatorFiles.close(holder);
}

// An empty lock file is one whose maker has not written its list yet: the
// opening waits for the list rather than join an empty one that the maker
// would overwrite, and takes a file that stays empty for an empty list.
TEST(DataDirectoryLocks, AnEmptyLockFileIsWaitedForUntilItsMakerWritesTheList) {
  TempFolder folder;
  folder.write("keel.lck");
  TLockFile makers;
  makers.append("People", folder.path());
  makers.setCounter(1);
  EngineLockSettings settings = QuickEngineSettings();
  settings.lockFileOpen = {11, std::chrono::milliseconds(100)};
  int waits = 0;
  settings.sleep = [&](std::chrono::milliseconds) {
    if (++waits == 2) folder.write("keel.lck", makers.encode());
  };
  {
    Peer patient(folder.path(), settings);
    EXPECT_EQ(waits, 2);
    EXPECT_EQ(patient.table("Events").slot(), 2u) << "after the maker's People";
  }

  TempFolder abandoned;
  abandoned.write("keel.lck");
  waits = 0;
  settings.sleep = [&](std::chrono::milliseconds) { ++waits; };
  Peer late(abandoned.path(), settings);
  EXPECT_EQ(waits, 11);
  EXPECT_TRUE(late.locks.lockingEnabled());
  EXPECT_EQ(late.table("Events").slot(), 1u);
}

TEST(DataDirectoryLocks, SessionsOfAnInMemoryFolderLockThroughTheMemoryRegistry) {
  TFileRegistry files;  // one process, two sessions
  TDataDirectoryLocks first(files, "Memory/", QuickEngineSettings(), true);
  TDataDirectoryLocks second(files, "Memory/", QuickEngineSettings(), true);
  first.open();
  second.open();
  TDataTableLocks& reader = first.tableLocks("Events", TableListing::Join);
  TDataTableLocks& writer = second.tableLocks("Events", TableListing::Join);
  ASSERT_TRUE(first.lockingEnabled());
  EXPECT_TRUE(files.exists("Memory/keel.lck", true));
  EXPECT_FALSE(files.exists("Memory/keel.lck", false));
  EXPECT_EQ(writer.slot(), 1u);
  reader.readLock();
  EXPECT_EQ(CodeOf([&] { writer.writeLock(); }), 10227);
  reader.readUnlock();
  EXPECT_NO_THROW(writer.writeLock());
}

TEST(DataDirectoryLocks, ADamagedLockFileIsReportedAndLeavesNoLock) {
  TempFolder folder;
  folder.write("keel.lck", testing::Bytes("01 00 00 00 40 00 00 00 03 41"));
  TFileRegistry files;
  TDataDirectoryLocks locks(files, folder.path(), QuickEngineSettings());
  EXPECT_EQ(CodeOf([&] { locks.open(); }), 12036);
  EXPECT_FALSE(locks.lockingEnabled());
  EXPECT_EQ(files.openCount(folder.file("keel.lck"), false), 0);
}

TEST(DataDirectoryLocks, ClosingReleasesEverythingStillHeld) {
  TempFolder folder;
  Peer other(folder.path());
  {
    Peer owner(folder.path());
    owner.locks.lockAllTransactions();
    owner.table("People").writeLock();
    owner.table("Links").readLock();
  }
  TDataTableLocks& people = other.table("People");
  people.writeLock();
  people.writeUnlock();
  other.locks.lockAllTableWrites();
  other.locks.lockAllTransactions();
}

// A reader of a folder opens the lock file for reading only, never adds its
// table to the list and locks through shared ranges, which need no write
// access: it still keeps a writer of another process out while it reads.
TEST(DataDirectoryLocks, AReaderLocksThroughAFileOpenedForReadingAndWritesNothing) {
  TempFolder folder;
  Peer writer(folder.path());
  writer.table("People");
  const std::vector<uint8_t> list = folder.read("keel.lck");

  TFileRegistry files;
  TDataDirectoryLocks reading(files, folder.path(), QuickEngineSettings());
  reading.open();
  ASSERT_TRUE(reading.lockingEnabled());
  EXPECT_FALSE(reading.writable());
  TDataTableLocks& people = reading.tableLocks("People", TableListing::Find);
  TDataTableLocks& events = reading.tableLocks("Events", TableListing::Find);
  EXPECT_EQ(people.slot(), 1u);
  EXPECT_EQ(events.slot(), 0u) << "a reader adds no name";

  ASSERT_TRUE(people.readLock());
  Peer other(folder.path());
  ASSERT_TRUE(other.table("People").readLock()) << "readers share";
  other.table("People").readUnlock();
  EXPECT_EQ(CodeOf([&] { writer.table("People").writeLock(); }), 10227);
  people.readUnlock();
  EXPECT_NO_THROW(writer.table("People").writeLock());
  writer.table("People").writeUnlock();

  ASSERT_TRUE(events.readLock());  // no slot: nothing to lock yet
  events.readUnlock();
  writer.table("Events");
  ASSERT_TRUE(events.readLock());
  EXPECT_EQ(events.slot(), 2u) << "found at the read lock once a writer listed it";
  EXPECT_EQ(CodeOf([&] { writer.table("Events").writeLock(); }), 10227);
  events.readUnlock();
  EXPECT_EQ(folder.read("keel.lck").size(), list.size() + 7) << "only the writer grew the list";
}

TEST(DataDirectoryLocks, AReaderOfAFolderWithoutLockFileMakesNoneAndFindsOneMadeLater) {
  TempFolder folder;
  folder.write("People.dat");
  TFileRegistry files;
  TDataDirectoryLocks reading(files, folder.path(), QuickEngineSettings());
  reading.open();
  TDataTableLocks& people = reading.tableLocks("People", TableListing::Find);
  ASSERT_TRUE(people.readLock());
  people.readUnlock();
  EXPECT_FALSE(std::filesystem::exists(folder.file("keel.lck")));

  Peer writer(folder.path());
  writer.table("People");
  ASSERT_TRUE(people.readLock());
  EXPECT_TRUE(reading.lockingEnabled());
  EXPECT_EQ(CodeOf([&] { writer.table("People").writeLock(); }), 10227);
  people.readUnlock();
}

}  // namespace
}  // namespace keel
