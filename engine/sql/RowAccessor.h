#pragma once

namespace keel {

class TExpToken;

// The evaluator's view of the current record.
class TRowAccessor {
 public:
  virtual ~TRowAccessor() = default;
  // Fills the value and null flag of a resolved column reference from the
  // current record (FieldNumber, SourceNumber, Type as the resolver set them).
  virtual void ReadColumn(TExpToken& column) const = 0;
};

}  // namespace keel
