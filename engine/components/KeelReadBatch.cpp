#include "engine/components/KeelReadBatch.h"

#include "engine/components/KeelDataSet.h"
#include "engine/core/DataCursor.h"

namespace keel {

TKeelReadBatch::TKeelReadBatch(TKeelDataSet& dataSet) : read_(dataSet.cursor().table()) {}

void TKeelReadBatch::Step() {
  if (++steps_ < kStepsBetweenPauses) return;
  steps_ = 0;
  read_.pause();
}

}  // namespace keel
