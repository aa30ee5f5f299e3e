#pragma once

// Index definitions of a table (TKeelIndexDef and its collection), in the
// dataset's terms: field names separated by ";" and option flags.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/core/FieldDescriptor.h"
#include "engine/core/IndexDescriptor.h"

namespace keel {

enum TIndexOption : uint8_t {
  ixPrimary = 1,
  ixUnique = 2,
  ixDescending = 4,
  ixCaseInsensitive = 8,
};
using TIndexOptions = uint8_t;

struct TKeelIndexDef {
  std::string Name;
  std::string Fields;      // "Name;Other"
  std::string DescFields;  // those of Fields sorted descending
  TIndexOptions Options = 0;
  IndexCompression Compression = IndexCompression::icNone;
  bool NoKeyStatistics = false;

  bool Has(TIndexOption option) const { return (Options & option) != 0; }

  // The definition of an opened table's index in `slot` (0 is the primary).
  static TKeelIndexDef FromDescriptor(const IndexDescriptor& descriptor, int slot,
                                      std::span<const FieldDescriptor> fields);
};

class TKeelIndexDefs {
 public:
  TKeelIndexDef& Add(const std::string& name, const std::string& fields, TIndexOptions options = 0);
  void Clear() { defs_.clear(); }
  size_t Count() const { return defs_.size(); }
  const TKeelIndexDef& operator[](size_t i) const { return defs_.at(i); }
  TKeelIndexDef& operator[](size_t i) { return defs_.at(i); }
  auto begin() const { return defs_.begin(); }
  auto end() const { return defs_.end(); }

  // The definitions in creation order: "Only one primary index allowed per
  // table" for a second primary, "Duplicate index name '%s'" for a name used
  // twice; a primary definition moves to the front.
  std::vector<TKeelIndexDef> CheckedForCreation() const;

 private:
  std::vector<TKeelIndexDef> defs_;
};

}  // namespace keel
