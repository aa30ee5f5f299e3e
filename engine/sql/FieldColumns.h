#pragma once

// The columns of one table, as a filter sees them: its fields, named without
// regard to case.

#include <vector>

#include "engine/core/FieldDescriptor.h"
#include "engine/sql/ColumnResolver.h"

namespace keel {

class TFieldColumns : public TColumnResolver {
 public:
  // `fields` must outlive the resolver.
  explicit TFieldColumns(const std::vector<FieldDescriptor>& fields) : fields_(fields) {}

  bool ResolveColumn(TExpToken& column) override;

 private:
  const std::vector<FieldDescriptor>& fields_;
};

}  // namespace keel
