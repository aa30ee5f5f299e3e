#pragma once

// One table's entry in its folder's lock file: the slot and the table read,
// write and transaction locks this folder object holds on it.
//
// Read and write locks last one engine operation (or one held read). The
// read lock is a shared lock on one random byte of the table's region, so any
// number of readers coexist without write access to the lock file, while the
// write lock covers the whole region exclusively and so excludes every reader
// and the other writers. A writer first takes the table's transaction byte,
// which a transaction of another session holds.
//
// An entry without a slot (table opened exclusively, or with read-only
// files), and every entry of a folder whose locking is off, keeps the held
// flags but locks nothing.

#include <cstdint>
#include <optional>
#include <string>

#include "engine/core/ErrorCodes.h"
#include "engine/core/LockLayout.h"
#include "engine/core/LockSettings.h"

namespace keel {

class TDataDirectoryLocks;

class TDataTableLocks {
 public:
  static constexpr uint8_t kRead = 1;
  static constexpr uint8_t kWrite = 2;
  static constexpr uint8_t kTransaction = 4;

  TDataTableLocks(TDataDirectoryLocks& directory, std::string name, uint32_t slot);
  TDataTableLocks(const TDataTableLocks&) = delete;
  TDataTableLocks& operator=(const TDataTableLocks&) = delete;

  const std::string& name() const { return name_; }
  uint32_t slot() const { return slot_; }
  void assignSlot(uint32_t slot) { slot_ = slot; }
  // A reader's entry: while it has no slot, every read lock first looks for
  // one in the list, which a writer may have extended since.
  void findSlotWhileMissing() { findsSlot_ = true; }
  TDataDirectoryLocks& directory() const { return directory_; }
  // Whether the folder's locking is on (row locks in the data file follow it).
  bool folderLocking() const;

  uint8_t held() const { return held_; }
  bool holdsRead() const { return (held_ & kRead) != 0; }
  bool holdsWrite() const { return (held_ & kWrite) != 0; }
  bool holdsAny() const { return held_ != 0; }

  // Takes the read lock unless a lock of this table is already held: true
  // when taken now. 10225 when still refused after the table read retries.
  bool readLock();
  // One attempt, no wait: false when refused (nothing is held then). True
  // also when a lock of this table is already held.
  bool tryReadLock();
  // 10226 when the read lock is not held or its release fails.
  void readUnlock();
  // Takes the transaction byte (not inside a transaction) and the write lock,
  // giving up this entry's read lock first. On failure of either, nothing
  // stays held and 10227 is raised.
  void writeLock();
  // Releases the write lock and the transaction byte; both are released even
  // when one fails, then 10228 is raised.
  void writeUnlock();
  // Drops whatever is still held, for closing. Never raises.
  void releaseAll() noexcept;
  // Between the batches of a long scan, holding nothing: gives a writer that
  // waits for this table the moment it needs (see the definition).
  void letWaitingWriterIn();

 private:
  bool takesTableLocks() const;
  // The read lock with `policy`'s retries: false when refused to the end.
  bool takeReadLock(const LockRetryPolicy& policy);
  [[noreturn]] void raiseFor(ErrorCode code) const;

  TDataDirectoryLocks& directory_;
  std::string name_;
  uint32_t slot_;
  bool findsSlot_ = false;
  uint8_t held_ = 0;
  std::optional<LockRange> readRange_;  // the random byte held
};

}  // namespace keel
