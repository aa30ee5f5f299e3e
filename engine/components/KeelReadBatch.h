#pragma once

// Keeps a dataset's table read lock from one read to the next across a run of
// lookups, which would otherwise take and release it at every read from disk.
// Every kStepsBetweenPauses steps the lock is let go, so that writers of other
// programs get their turn; the next read takes it again and sees their
// changes. The dataset must stay open while the batch lives.

#include "engine/sql/FilterReadScope.h"

namespace keel {

class TKeelDataSet;

class TKeelReadBatch {
 public:
  static constexpr int kStepsBetweenPauses = 128;

  explicit TKeelReadBatch(TKeelDataSet& dataSet);

  // One lookup (or one row of lookups) done.
  void Step();

 private:
  TFilterReadScope read_;
  int steps_ = 0;
};

}  // namespace keel
