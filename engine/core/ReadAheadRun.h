#pragma once

// How many units to read with one request when unit k is missing and only
// some of the units after it are wanted: the run ends at the last wanted unit
// within `limit`, reading unwanted ones along as long as at least one unit in
// four is wanted. One read of a few units too many costs far less than a
// read, and a lock, for each short run between them.

#include <cstddef>

namespace keel {

// `wanted(offset)` tells whether unit k + offset (or k - offset, backward) is
// wanted; offset 0 (unit k itself) always is.
template <typename Wanted>
size_t ReadAheadRun(size_t limit, Wanted wanted) {
  size_t run = 1;
  size_t taken = 1;
  for (size_t span = 2; span <= limit; ++span) {
    if (!wanted(span - 1)) continue;
    ++taken;
    if (taken * 4 >= span) run = span;
  }
  return run;
}

}  // namespace keel
