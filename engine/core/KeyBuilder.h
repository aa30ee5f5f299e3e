#pragma once

// Builds KeyBuffers from row buffers, and the filled keys of searches and
// ranges. Key bytes are big-endian with the sign bit inverted, so that keys of
// a locale-0 table order bytewise (docs/formats/index-file.md, "Keys").

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/core/KeyLayout.h"

namespace keel {

using KeyBuffer = std::vector<uint8_t>;

class TKeyBuilder {
 public:
  // `layout` must outlive the builder.
  explicit TKeyBuilder(const TKeyLayout& layout) : layout_(layout) {}

  // The key of `row` (a whole row buffer, header included). Strings of a
  // case-insensitive index are upper-cased with the table locale's mapping;
  // a non-unique index appends the row's RecordID. A row too short for the
  // key fields raises 8962.
  KeyBuffer build(std::span<const uint8_t> row) const;

  // Fills key bytes from `from` to the end as the lowest (start) or highest
  // (end) key that shares the first `from` bytes: 0x00 / 0xFF, exchanged in
  // descending fields; the end fill of string values of a table with a locale
  // is the character that sorts highest there.
  void fillRangeStart(KeyBuffer& key, size_t from) const;
  void fillRangeEnd(KeyBuffer& key, size_t from) const;

 private:
  void encodeValue(const KeySegment& segment, const uint8_t* value, uint8_t* out) const;
  void fill(KeyBuffer& key, size_t from, bool high) const;

  const TKeyLayout& layout_;
};

}  // namespace keel
