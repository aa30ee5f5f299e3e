#pragma once

// Tells whether a table was written (by any cursor, session or program)
// since the filter bitmaps were last computed: its data header's change
// counter or its physical record count moved.

#include <cstdint>

#include "engine/core/DataTable.h"
#include "engine/sql/FilterReadScope.h"

namespace keel {

class TFilterChangeWatch {
 public:
  // Call before computing, so that a change made during the computation
  // shows at the next check.
  void remember(TDataTable& table) {
    TFilterReadScope read(table);
    changeCount_ = table.data().header().changeCount;
    records_ = table.data().physicalRowCount();
  }

  bool changed(TDataTable& table) const {
    return table.data().header().changeCount != changeCount_ || table.data().physicalRowCount() != records_;
  }

 private:
  int32_t changeCount_ = 0;
  int64_t records_ = 0;
};

}  // namespace keel
