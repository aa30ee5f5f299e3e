#pragma once

// The cached units of one file by unit number, owning their buffers: open
// addressing with linear probing over a power-of-two table kept at most half
// full. A lookup is a multiplication and, mostly, one probe; the cache asks
// for a unit at every row and page it touches.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/Buffer.h"

namespace keel {

class TUnitTable {
 public:
  TBuffer* find(int64_t unit) const;
  bool contains(int64_t unit) const { return find(unit) != nullptr; }
  // The buffer's unit must not be in the table yet.
  void insert(std::unique_ptr<TBuffer> buffer);
  // Removes the unit's buffer and hands it over; null when it is not there.
  std::unique_ptr<TBuffer> take(int64_t unit);
  size_t size() const { return size_; }

  // Every buffer, in no particular order; `visit` must not change the table.
  template <typename Visit>
  void forEach(Visit visit) const {
    for (const auto& slot : slots_) {
      if (slot) visit(slot.get());
    }
  }

 private:
  size_t home(int64_t unit) const;
  size_t slotOf(int64_t unit) const;  // slots_.size() when absent
  void grow();

  std::vector<std::unique_ptr<TBuffer>> slots_;
  size_t size_ = 0;
  int shift_ = 64;  // 64 - log2(slots_.size())
};

}  // namespace keel
