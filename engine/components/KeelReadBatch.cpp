#include "engine/components/KeelReadBatch.h"

#include "engine/components/KeelDataSet.h"
#include "engine/core/DataCursor.h"
#include "engine/core/DataTable.h"

namespace keel {

TKeelReadBatch::TKeelReadBatch(TKeelDataSet& dataSet) : table_(dataSet.cursor().table()) {
  table_.beginRead();
  reading_ = true;
}

TKeelReadBatch::~TKeelReadBatch() {
  if (!reading_) return;
  try {
    table_.endRead();
  } catch (...) {
    // A failed release leaves nothing held that a later read could trip on.
  }
}

void TKeelReadBatch::Step() {
  if (++steps_ < kStepsBetweenPauses) return;
  steps_ = 0;
  reading_ = false;
  table_.endRead();
  table_.letWaitingWriterIn();
  table_.beginRead();
  reading_ = true;
}

}  // namespace keel
