#pragma once

namespace keel {

class TExpToken;

// Supplied by the user of the verifier (a SELECT's sources, a filtered cursor).
class TColumnResolver {
 public:
  virtual ~TColumnResolver() = default;
  // Finds the column that `column` names (ColumnName, Qualifier); on success
  // sets its Type, Subtype, Size, Decimals, FieldNumber and SourceNumber and
  // answers true.
  virtual bool ResolveColumn(TExpToken& column) = 0;
};

}  // namespace keel
