#pragma once

// The table read lock across many reads: one part of a filter's work, or a
// run of lookups. A long run pauses it now and then, so that writers of other
// sessions get their turn.

#include "engine/core/DataTable.h"

namespace keel {

class TFilterReadScope {
 public:
  explicit TFilterReadScope(TDataTable& table) : table_(table) { table_.beginRead(); }
  ~TFilterReadScope() {
    if (!held_) return;  // a pause failed to take the lock again
    try {
      table_.endRead();
    } catch (...) {
      // A failed release leaves nothing held that a later operation could trip on.
    }
  }
  TFilterReadScope(const TFilterReadScope&) = delete;
  TFilterReadScope& operator=(const TFilterReadScope&) = delete;

  // Releases the lock and takes it again (a no-op when an outer operation
  // holds it); cached pages may have been dropped afterwards.
  void pause() {
    held_ = false;
    table_.endRead();
    table_.letWaitingWriterIn();
    table_.beginRead();
    held_ = true;
  }

 private:
  TDataTable& table_;
  bool held_ = true;
};

}  // namespace keel
