#pragma once

// The locks of one open table object, as its cursors' operations take them:
// the table read and write locks around every operation, row locks, the
// whole-table lock and semaphores.
//
// Integration (TDataTable implements TLockTarget and owns one, made at open
// once its folder has given it its TDataTableLocks entry):
// - the table's headers are read at open under entry.readLock()/readUnlock();
// - every read, navigation and search operation of a cursor runs between
//   beginRead() and endRead() (endRead() also when the operation fails); with
//   strict change detection off, the page cache calls readForPageMiss()
//   before it reads a unit from disk and restarts the operation when that
//   answers true;
// - the outermost TDataTable::beginWrite() calls beginWrite() in place of its
//   own refresh, the outermost endWrite() calls endWrite() (which calls the
//   table's writeBack()), the outermost abortWrite() calls abortWrite();
// - Edit with pessimistic locking calls lockRow() inside its read operation,
//   Cancel and Post unlockRow(); Delete, and Modify with optimistic locking,
//   call lockRow() inside their write operation and unlockRow() after it;
// - closing the table (its last cursor) calls releaseAll().
// Read operations of one table object do not nest. The answers "changed"
// mean the refresh found the table changed by someone else; the cursor then
// drops its own buffers and finds its key anew.
//
// A table opened exclusively takes no read or write locks and never refreshes.

#include <cstdint>
#include <optional>
#include <set>

#include "engine/core/DataTableLocks.h"
#include "engine/core/LockRetry.h"
#include "engine/core/LockSettings.h"
#include "engine/core/LockTarget.h"

namespace keel {

class TLockProtocol {
 public:
  // All three must outlive this object.
  TLockProtocol(TLockTarget& table, TDataTableLocks& locks, const SessionLockSettings& session,
                bool exclusive);
  ~TLockProtocol();
  TLockProtocol(const TLockProtocol&) = delete;
  TLockProtocol& operator=(const TLockProtocol&) = delete;

  // Strict change detection: takes the read lock (10225) and refreshes.
  // Otherwise nothing happens here. True when the table changed.
  bool beginRead();
  // Before a unit is read from disk, or a read of a table that another
  // table object of the process wrote: unless a lock of the table is already
  // held, takes the read lock and refreshes. True when the table changed.
  bool readForPageMiss();
  // As readForPageMiss, in one attempt without waiting: nothing when the
  // read lock was refused.
  std::optional<bool> tryReadForHeldRead();
  // Releases the read lock when held (10226).
  void endRead();

  // Takes the transaction byte and write lock (10227, nothing held after it)
  // and refreshes. True when the table changed.
  bool beginWrite();
  // Writes back, then releases the write lock and transaction byte, also when
  // the write back fails (whose error then wins); 10228 when a release fails.
  void endWrite();
  // Leaves a failed operation: releases the write lock and transaction byte
  // without writing back (the changes stay cached for the next write back).
  // Never raises, so it may run while another error is on its way.
  void abortWrite() noexcept;

  // Locks physical row `row` with the session's retries, waiting without the
  // read lock between attempts. 10258 when this table object already holds
  // the row (or the whole table) or the row stays locked by someone else; the
  // read lock is not held after that error. True when a refresh on the way
  // found the table changed.
  bool lockRow(uint64_t row);
  // 10242 when the row is not locked by this object or its release fails.
  void unlockRow(uint64_t row);
  bool rowLocked(uint64_t row) const { return rows_.count(row) != 0; }

  // Locks every row at once. 10241 when this object holds the table lock or
  // any row lock already, or the range stays locked by someone else.
  void lockTable();
  // 10242 when not held or the release fails.
  void unlockTable();
  bool tableLocked() const { return tableLocked_; }

  // Semaphores 1..1024, with the session's retries: false for other numbers,
  // one already held here, or one that stays locked by someone else.
  bool lockSemaphore(uint32_t semaphore);
  // False when not held here or the release fails.
  bool unlockSemaphore(uint32_t semaphore);

  // Drops every lock this object holds, for closing. Never raises.
  void releaseAll() noexcept;

  TDataTableLocks& tableLocks() const { return locks_; }

 private:
  bool lockAndRefreshRead();
  // After taking the read lock (`taken` false when it was held before).
  bool refreshUnderRead(bool taken);
  bool recoverThenRead();
  bool refreshOrRelease();
  void releaseReadQuietly() noexcept;
  bool tryDataLock(const LockRange& range, TLockRetry& retry);
  bool lockData(const LockRange& range);
  bool unlockData(const LockRange& range);
  const TLockLayout& layout() const;
  [[noreturn]] void raiseFor(ErrorCode code) const;

  TLockTarget& table_;
  TDataTableLocks& locks_;
  const SessionLockSettings& session_;
  bool exclusive_;
  std::set<uint64_t> rows_;
  std::set<uint32_t> semaphores_;
  bool tableLocked_ = false;
};

}  // namespace keel
