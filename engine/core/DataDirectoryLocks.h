#pragma once

// The lock file of one open database folder and the lock-file locks of its
// tables (docs/formats/lock-file.md).
//
// Integration: the folder object (TDataDirectory) makes one of these when it
// opens the folder and calls open(); each table it opens asks tableLocks()
// for its entry (Join for a table opened for writing, Find for one opened
// for reading, None when it is opened exclusively or its files are
// write-protected), and the folder calls close() when it closes. Every lock
// of the protocol is taken through the lock file's shared handle, so
// sessions of one process exclude each other exactly as separate processes
// do.
//
// A folder is read without being written until a table in it is opened for
// writing: open() only opens an existing lock file, for reading, and readers
// take shared locks, which need no write access. The first Join (or a
// folder-wide transaction or write lock) makes the lock file when it is
// missing and opens it for writing. A reader in a folder without a lock
// file takes no locks; each of its locks looks for the file again, since a
// writer may make it meanwhile.
//
// When the lock file can neither be created nor opened for writing, or is
// write-protected, locking is off for the folder: every lock then succeeds at
// once (the held flags are still kept, so callers see one behaviour).
//
// Not thread-safe: one folder object is used by one thread at a time.

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/core/DataTableLocks.h"
#include "engine/core/FileRegistry.h"
#include "engine/core/LockFile.h"
#include "engine/core/LockLayout.h"
#include "engine/core/LockSettings.h"

namespace keel {

// How a table takes part in its folder's list: not at all, by the slot its
// name already has (a reader, which never writes the list), or by a slot it
// is given when its name is missing (a writer).
enum class TableListing { None, Find, Join };

class TDataDirectoryLocks {
 public:
  // `files` and `folder` as the folder object has them; `files` must outlive
  // this object. The lock file of an in-memory folder lives in the memory
  // registry, where only sessions of this process can meet; its list starts
  // empty, as such a folder has no files to list.
  TDataDirectoryLocks(TFileRegistry& files, std::string folder, EngineLockSettings settings,
                      bool inMemory = false);
  ~TDataDirectoryLocks();
  TDataDirectoryLocks(const TDataDirectoryLocks&) = delete;
  TDataDirectoryLocks& operator=(const TDataDirectoryLocks&) = delete;

  // Opens the lock file for reading, when there is one, and reads the list.
  // Raises 10221/10222 when the list lock cannot be taken or released, and
  // 12036 for a lock file that holds no list.
  void open();
  // Releases every lock still held through this folder and closes the lock
  // file. Never raises.
  void close();

  bool lockingEnabled() const { return handle_.file != nullptr; }
  // The lock file is open for writing (or locking is off for writers).
  bool writable() const { return writable_; }
  // Whether this object made the folder's lock file (of programs opening a
  // new folder at once, exactly one did).
  bool madeLockFile() const { return madeLockFile_; }
  const std::string& folder() const { return folder_; }
  const std::string& lockFilePath() const { return lockFilePath_; }
  const TLockLayout& layout() const { return layout_; }
  const EngineLockSettings& settings() const { return settings_; }
  const TLockFile& list() const { return list_; }

  // The entry of table `name` (as given to the engine). With Join the folder
  // is taken for writing (see the class comment) and, with locking on, the
  // table gets its slot: its name is looked up under the list's exclusive
  // lock and appended when absent (9480 past 4095 tables). With Find it gets
  // the slot its name has, if any, and looks again at every read lock while
  // it has none. With None the entry has no slot and takes no table locks.
  // The entry lives as long as this object.
  TDataTableLocks& tableLocks(const std::string& name, TableListing listing);
  // The slot the list gives `name` now (0 when absent), read under the
  // list's shared lock; for readers, which never add names.
  uint32_t lookUpSlot(const std::string& name);

  // The list's shared lock (a random byte, 10221/10222) and exclusive lock
  // (the whole list region, 10223/10224). Never held across other locks.
  void lockListShared();
  void unlockListShared();
  void lockListExclusive();
  void unlockListExclusive();
  // Re-reads the whole list / only when its counter moved since the last read.
  // Call under a list lock.
  void readList();
  void refreshList();
  // Rewrites the whole list with the counter advanced, then flushes. Call
  // under the exclusive list lock.
  void writeList();

  // A transaction over the folder holds every transaction byte (10229/10230);
  // writers inside it take no transaction byte of their own.
  void lockAllTransactions();
  void unlockAllTransactions();
  bool inTransaction() const { return inTransaction_; }
  // Every table's write lock at once (10227/10228 naming the folder).
  void lockAllTableWrites();
  void unlockAllTableWrites();

  // For the table entries: takes a range of the lock file with `policy`'s
  // retries, a new range from `nextRange` for every attempt. Answers the
  // range held; nothing when refused to the end. With locking off it answers
  // the first range at once without locking anything. Exclusive ranges need
  // the folder taken for writing.
  std::optional<LockRange> acquire(const LockRetryPolicy& policy, const std::function<LockRange()>& nextRange,
                                   LockMode mode = LockMode::Exclusive);
  bool release(const LockRange& range);
  // r for the random-byte locks: 1..65534.
  uint32_t randomByte();

 private:
  // The folder taken for writing: the lock file made when missing and opened
  // for writing. 10223 while this object holds a lock through the file
  // opened for reading.
  void openForWriting();
  // A reader without a lock file looks for one a writer may have made.
  void openIfMadeSince();
  bool holdsAnyLock() const;
  // True when the lock file exists afterwards (made here or by someone else).
  bool createLockFile();
  bool createMemoryLockFile();
  bool createDiskLockFile();
  std::vector<uint8_t> newListBytes() const;
  FileHandle openLockFileShared(bool forWriting);
  void readFirstList();
  std::vector<uint8_t> readLockFile(size_t length);
  uint32_t joinList(const std::string& name);
  [[noreturn]] void raiseForFolder(ErrorCode code) const;
  [[noreturn]] void raiseForFolder(ErrorCode code, const std::string& table) const;

  TFileRegistry& files_;
  std::string folder_;
  EngineLockSettings settings_;
  TLockLayout layout_;
  std::string lockFilePath_;
  bool inMemory_;
  FileHandle handle_;
  TLockFile list_;
  std::mt19937 random_;
  std::optional<LockRange> listShared_;
  bool listExclusive_ = false;
  bool inTransaction_ = false;
  bool allTableWrites_ = false;
  bool madeLockFile_ = false;
  bool writable_ = false;
  std::vector<std::unique_ptr<TDataTableLocks>> tables_;
};

}  // namespace keel
