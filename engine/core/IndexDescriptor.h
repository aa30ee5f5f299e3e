#pragma once

// One of the 32 index descriptor slots of an index file (768 bytes; layout in
// IndexLayout.h and docs/formats/index-file.md). The same struct serves the
// file, create-table requests and the cursor's copy of its active index.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/core/IndexLayout.h"

namespace keel {

enum class IndexCompression : uint8_t { icNone = 0, icDuplicateByte = 1, icTrailingByte = 2, icFull = 3 };

struct IndexKeyField {
  uint16_t fieldNumber = 0;  // 1-based; 0xFFFF RecordID, 0xFFFE RecordHash
  bool descending = false;
  bool operator==(const IndexKeyField&) const = default;
};

struct IndexDescriptor {
  static constexpr size_t kSize = index_layout::kDescriptorSize;
  static constexpr const char* kFullTextName = "Sys Text";
  static constexpr uint16_t kFullTextKeySize = 68;

  std::string name;         // empty for the primary index
  uint16_t keySize = 0;     // K, including the RecordID suffix of non-unique indexes
  bool descending = false;  // reported only; order comes from the per-field flags
  bool caseInsensitive = false;
  bool unique = false;
  IndexCompression compression = IndexCompression::icNone;
  std::vector<IndexKeyField> fields;
  bool noKeyStatistics = false;

  bool operator==(const IndexDescriptor&) const = default;

  // An unused slot: all zero in the file.
  bool isEmpty() const { return keySize == 0 && fields.empty() && name.empty(); }
  size_t suffixSize() const { return unique ? 0 : index_layout::kRecordIdSuffix; }
  bool keepsStatistics() const { return !noKeyStatistics; }

  void encode(std::span<uint8_t, kSize> out) const;
  // Reads whatever the bytes say; isWellFormed() tells whether they can be used.
  static IndexDescriptor decode(std::span<const uint8_t, kSize> in);

  // Checks that a used slot can be navigated with pages of `pageSize` bytes:
  // a name of at most 60 characters, field count 1..128, a known compression,
  // and a key size whose interior pages hold at least two entries. Flag bytes
  // count as set when nonzero. Says nothing about the table's fields.
  bool isWellFormed(size_t pageSize) const;

  // Unique, one key field RecordID, key size 5, no compression, statistics kept.
  static IndexDescriptor DefaultPrimary();
  // Slot 31: "Sys Text" over the given string and memo fields.
  static IndexDescriptor FullText(std::vector<uint16_t> fieldNumbers);

 private:
  bool nameTooLong_ = false;        // length byte over 60 in the file
  bool fieldCountTooHigh_ = false;  // more than 128 key fields in the file
};

}  // namespace keel
