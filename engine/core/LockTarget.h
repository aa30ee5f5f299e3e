#pragma once

// What the locking protocol needs of an open table (TDataTable implements
// it): the handle its row, table and semaphore locks go through, and the
// table-level change detection it runs under a fresh lock.

#include <string>

#include "engine/core/BaseFile.h"

namespace keel {

class TLockTarget {
 public:
  virtual ~TLockTarget() = default;

  // The table's name as opened, for error messages.
  virtual const std::string& lockName() const = 0;
  // The shared handle of the table's data file.
  virtual TBaseFile& dataFileHandle() = 0;
  // Re-reads the data file header; when its HeaderChangeCount differs from
  // the one held, drops the cached rows, re-reads the index (and BLOB) header
  // and drops their cached pages (blocks). True when the table changed.
  virtual bool refresh() = 0;
  // Writes the changed rows, pages, blocks and headers (and flushes them when
  // the session forces buffer flushes).
  virtual void writeBack() = 0;
};

}  // namespace keel
