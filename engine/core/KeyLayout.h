#pragma once

// Where each key field of one index sits in its KeyBuffer and in the row, and
// how it orders. Built once per index from its descriptor and the table's
// field descriptors; TKeyBuilder and TKeyComparer read it.
//
// A KeyBuffer of K bytes holds, per key field in order, one null byte
// (1 = value, 0 = NULL) and the value in order-preserving form; non-unique
// indexes end with the row's RecordID (4 bytes).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/core/Collation.h"
#include "engine/core/FieldDescriptor.h"
#include "engine/core/IndexDescriptor.h"

namespace keel {

struct KeySegment {
  FieldType type = FieldType::None;
  FieldSubtype subtype = FieldSubtype::None;
  uint16_t length = 0;     // value bytes in the key
  uint16_t keyOffset = 0;  // of the null byte within the key
  uint16_t rowOffset = 0;  // of the null byte in the row; of the value for system fields
  bool system = false;     // RecordID or RecordHash: never NULL, no null byte in the row
  bool descending = false;
  bool collated = false;  // a string compared by the locale's collation

  size_t end() const { return size_t{keyOffset} + 1u + length; }
};

class TKeyLayout {
 public:
  // `fields` are the table's user fields, field 1 first. Raises 8961 naming
  // the table and index when the descriptor names a missing field or a BLOB
  // field, or when its key size differs from the one its fields give.
  TKeyLayout(const IndexDescriptor& index, std::span<const FieldDescriptor> fields,
             std::shared_ptr<const TCollation> collation, const std::string& tableName);

  // Key bytes of one field of `type` and stored `length` (8 for BCD).
  static uint16_t KeyLength(FieldType type, uint16_t storedLength);

  size_t keySize() const { return keySize_; }
  size_t suffixSize() const { return suffixSize_; }
  bool caseInsensitive() const { return caseInsensitive_; }
  const std::vector<KeySegment>& segments() const { return segments_; }
  const TCollation& collation() const { return *collation_; }
  // Row bytes the key fields and the RecordID reach into.
  size_t rowSpan() const { return rowSpan_; }

  // Bytes a partial search compares: the first `fieldCount` fields whole,
  // then, when `partialLength` > 0, the null byte and that many characters
  // of the next field.
  size_t compareLength(size_t fieldCount, size_t partialLength) const;

 private:
  std::vector<KeySegment> segments_;
  size_t keySize_ = 0;
  size_t suffixSize_ = 0;
  size_t rowSpan_ = 9;  // row header up to the RecordID
  bool caseInsensitive_ = false;
  std::shared_ptr<const TCollation> collation_;
};

}  // namespace keel
