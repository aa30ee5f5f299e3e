#pragma once

// Orders KeyBuffers of one index: field by field in key order, the first
// unequal field deciding, its result negated when the field is descending; the
// RecordID suffix of non-unique indexes last, as unsigned bytes. In a table
// with locale 0 every field compares as unsigned bytes (null byte included);
// otherwise string fields compare by null byte and then by the locale's
// collation of their texts.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "engine/core/KeyLayout.h"

namespace keel {

class TKeyComparer {
 public:
  static constexpr size_t kWholeKey = std::numeric_limits<size_t>::max();

  // `layout` must outlive the comparer.
  explicit TKeyComparer(const TKeyLayout& layout);

  // <0, 0, >0; only the first `length` bytes of both keys take part.
  // REQUIRES: both keys are layout.keySize() bytes long.
  int compare(std::span<const uint8_t> a, std::span<const uint8_t> b, size_t length = kWholeKey) const;

  size_t keySize() const { return layout_.keySize(); }
  // Keys order as their bytes do (no collated and no descending field).
  bool bytewise() const { return bytewise_; }

 private:
  const TKeyLayout& layout_;
  // No collated and no descending field: the whole key orders as bytes, its
  // fields and suffix lying one after the other.
  bool bytewise_ = true;
};

}  // namespace keel
