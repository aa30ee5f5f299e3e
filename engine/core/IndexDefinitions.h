#pragma once

// Checks and completes the index definitions of a table being created or
// given a new index: names, key fields, key sizes and limits, each failure
// with its own engine error. The result is what the index file stores.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/FieldDescriptor.h"
#include "engine/core/IndexDescriptor.h"

namespace keel {

// The indexes a table was made with, as its maker defined them, for rebuilding
// indexes that were lost with the index file.
struct KnownIndexes {
  IndexDescriptor primary;  // no fields: the default primary index
  std::vector<IndexDescriptor> secondaries;
};

class TIndexDefinitions {
 public:
  // `fields` are the table's user fields, field 1 first; they must outlive
  // this object.
  TIndexDefinitions(std::span<const FieldDescriptor> fields, size_t pageSize, std::string tableName);

  struct Validated {
    IndexDescriptor primary;
    std::vector<IndexDescriptor> secondaries;
  };
  // The primary becomes unnamed and unique (the default primary index when
  // it has no fields); secondaries are checked in order against each other.
  // More than 30 secondaries or 128 key fields give 9487.
  Validated validate(const IndexDescriptor& primary, const std::vector<IndexDescriptor>& secondaries) const;

  // One more secondary index beside `existing` (the primary and the
  // secondaries already there).
  IndexDescriptor secondary(IndexDescriptor definition, std::span<const IndexDescriptor> existing) const;
  // A primary index may be added only while the table has the default one.
  void checkPrimaryAddable(const IndexDescriptor& existingPrimary) const;

  // Key fields from the dataset's "Name;Other" lists (names without regard to
  // case, "RecordID" and "RecordHash" allowed); a field named in
  // `descendingFields` gets its descending flag. An unknown name gives 10023.
  std::vector<IndexKeyField> resolveFields(std::string_view fieldList, std::string_view descendingFields,
                                           const std::string& indexName) const;

 private:
  IndexDescriptor primary(IndexDescriptor definition) const;
  void completeKey(IndexDescriptor& index) const;
  std::string checkedName(const std::string& name) const;

  std::span<const FieldDescriptor> fields_;
  size_t pageSize_;
  std::string tableName_;
};

}  // namespace keel
