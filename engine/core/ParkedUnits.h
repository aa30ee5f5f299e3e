#pragma once

// Units of a temporary file that left the page cache modified (those past the
// file's parking start, see TBufferedFile). Such a file is this process's own
// and deleted with its last close (a query's result), so its units need not
// make the trip through the operating system to the disk and back: they stay
// in memory, their zero runs squeezed out, as long as the file's budget lasts.
// Images are kept as the cache holds them, unencrypted.
//
// A temporary file grows at its end, so its parked units are numbered without
// gaps: they are found by their number in a table of addresses, and their
// images lie one after another in large chunks, in the order parked, which is
// the order they are read back in.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/core/ChunkedBytes.h"

namespace keel {

class TParkedUnits {
 public:
  // Keeps the unit's image in place of an older one; false, with nothing of
  // the unit kept, when the parked images would outgrow `budgetBytes`.
  bool park(int64_t unit, std::span<const uint8_t> image, size_t budgetBytes);
  // Fills `image` with the unit's; false when the unit is not parked.
  bool restore(int64_t unit, std::span<uint8_t> image) const;
  bool contains(int64_t unit) const { return imageOf(unit) != nullptr; }
  // The unit's newer image went to the file.
  void forget(int64_t unit);
  void clear();

 private:
  // What one parked unit costs besides its squeezed image: its address, its
  // size and its share of a chunk's unused end.
  static constexpr size_t kOverheadBytes = 64;
  static constexpr size_t kChunkBytes = 1 << 20;
  // An image is kept as its squeezed size (4 bytes) and the squeezed bytes.
  static constexpr size_t kSizeBytes = 4;

  // Null when the unit is not parked.
  uint8_t* imageOf(int64_t unit) const;
  uint8_t*& slotOf(int64_t unit);

  std::vector<uint8_t*> slots_;  // by unit number from first_ on
  int64_t first_ = 0;
  std::optional<TChunkedBytes> images_;  // made with the first image, sized for it
  size_t imageBytes_ = 0;  // of every image kept, including those given up since
  size_t parked_ = 0;
};

}  // namespace keel
