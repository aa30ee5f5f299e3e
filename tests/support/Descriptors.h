#pragma once

// Short ways to describe the fields and indexes of a table made for a test
// or a benchmark.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/FieldDescriptor.h"
#include "engine/core/IndexDescriptor.h"

namespace keel::testing {

inline FieldDescriptor Field(const std::string& name, FieldType type, uint16_t size = 0) {
  FieldDescriptor d;
  d.name = name;
  d.type = type;
  d.size = size;
  return d;
}

// Ascending on the fields numbered (1-based) in `fields`.
inline IndexDescriptor Index(const std::string& name, const std::vector<uint16_t>& fields, bool unique) {
  IndexDescriptor d;
  d.name = name;
  d.unique = unique;
  for (uint16_t f : fields) d.fields.push_back({f, false});
  return d;
}

}  // namespace keel::testing
