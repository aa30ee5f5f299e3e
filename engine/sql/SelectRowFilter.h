#pragma once

// Chooses the source rows a SELECT reads. Whatever the strategy (evaluating
// the condition record by record, or pre-selecting candidates through the
// table's indexes), the rows delivered are exactly those for which the WHERE
// condition holds under the evaluator's rules, NULL rules included.

namespace keel {

class TDataCursor;

class TSelectRowFilter {
 public:
  // How the source will be read: once, front to back in physical order (a
  // canned result is generated), or navigated at will (a live result).
  enum class Reading { OnceInPhysicalOrder, Navigated };

  virtual ~TSelectRowFilter() = default;
  // Installs the condition on `source`: from then on every move of the
  // cursor skips the rows that fail it. The filter must outlive the cursor's
  // use of it.
  virtual void InstallOn(TDataCursor& source, Reading reading) = 0;
};

}  // namespace keel
