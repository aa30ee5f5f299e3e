#pragma once

// What the locking protocol needs of an open table (TDataTable implements
// it): range locks on its data file for the row, table and semaphore locks,
// and the table-level change detection it runs under a fresh lock.

#include <string>

#include "engine/core/LockLayout.h"

namespace keel {

class TLockTarget {
 public:
  virtual ~TLockTarget() = default;

  // The table's name as opened, for error messages.
  virtual const std::string& lockName() const = 0;
  // A lock range of the table's data file through its shared handle
  // (TEngineFile::lockRange / unlockRange of the data file): false when
  // refused; operating-system failures raise engine errors.
  virtual bool lockDataRange(const LockRange& range) = 0;
  virtual bool unlockDataRange(const LockRange& range) = 0;
  // Re-reads the data file header; when its HeaderChangeCount differs from
  // the one held, drops the cached rows, re-reads the index (and BLOB) header
  // and drops their cached pages (blocks). True when the table changed.
  virtual bool refresh() = 0;
  // Under the write lock: first undoes a write that another writer left cut
  // off, then re-reads every header whose change count moved (a write
  // depends on all three). True when the table changed.
  virtual bool refreshForWrite() { return refresh(); }
  // Under a read lock: true when a writer was cut off in the middle of a
  // write that this object may undo (the read then waits for the write lock
  // and undoes it first).
  virtual bool interruptedWriteFound() { return false; }
  // Writes the changed rows, pages, blocks and headers (and flushes them when
  // the session forces buffer flushes).
  virtual void writeBack() = 0;
};

}  // namespace keel
