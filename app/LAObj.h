#pragma once

#include <cstdint>

#include "dates/UDate.h"

namespace mindrel {

// One day of the scan's look-ahead window.
struct TLAObj {
  TJDate DateRec;          // the day as a full date: no qualifier, no phrase, nothing unknown
  std::int32_t Year = 0;   // its calendar year (always AD for a real system date)
};

}  // namespace mindrel
