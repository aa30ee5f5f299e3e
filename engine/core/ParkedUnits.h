#pragma once

// Units of a temporary file that left the page cache modified (those past the
// file's parking start, see TBufferedFile). Such a file is this process's own
// and deleted with its last close (a query's result), so its units need not
// make the trip through the operating system to the disk and back: they stay
// in memory, their zero runs squeezed out, as long as the file's budget lasts.
// Images are kept as the cache holds them, unencrypted.

#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace keel {

class TParkedUnits {
 public:
  // Keeps the unit's image in place of an older one; false, with nothing of
  // the unit kept, when the parked images would outgrow `budgetBytes`.
  bool park(int64_t unit, std::span<const uint8_t> image, size_t budgetBytes);
  // Fills `image` with the unit's; false when the unit is not parked.
  bool restore(int64_t unit, std::span<uint8_t> image) const;
  bool contains(int64_t unit) const { return !units_.empty() && units_.contains(unit); }
  // The unit's newer image went to the file.
  void forget(int64_t unit);
  void clear();

 private:
  // What one parked unit costs besides its squeezed image.
  static constexpr size_t kOverheadBytes = 64;

  std::unordered_map<int64_t, std::vector<uint8_t>> units_;
  std::vector<uint8_t> scratch_;
  size_t bytes_ = 0;
};

}  // namespace keel
