#pragma once

// One condition of a filter that an index can answer: a column (or UPPER /
// LOWER of one) compared with constants by =, <>, <, >, <=, >=, IS [NOT]
// NULL, IN, NOT IN, BETWEEN or NOT BETWEEN. It knows which rows it selects
// in terms of key ranges of an index whose first key field is the column.
//
// Exactness contract: the records found are exactly those for which the
// evaluator says the condition holds. Rows whose column is NULL are decided
// by evaluating the condition once with a NULL column; the other rows by key
// ranges built from constants that the column's key form represents exactly.
// A condition whose constants cannot be represented exactly (a fraction
// against an integer column, a text longer than the column, case mapping
// under a locale collation, a leading-part match under a collation) is not
// indexable and is evaluated record by record.
// Not covered: a NaN stored in a float column. The evaluator finds it equal
// to every number, while its key sorts among the small positive values (or
// below every negative one), so index ranges do not find it.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/FieldDescriptor.h"
#include "engine/core/IndexAccess.h"
#include "engine/sql/ExpToken.h"
#include "engine/sql/ExpressionEvaluator.h"

namespace keel {

// One end of a range in the tree's order: keys compared over `length` bytes.
struct TKeyBound {
  KeyBuffer key;
  size_t length = 0;
  bool inclusive = true;
};

// Keys from `from` to `to` in the tree's order.
struct TKeyRange {
  TKeyBound from;
  TKeyBound to;
};

class TFilterCondition {
 public:
  // Recognises `node` (swapping a constant on the left to the right, with
  // the operator mirrored); nullopt when it is no indexable condition.
  // `node` must outlive the condition.
  static std::optional<TFilterCondition> Recognise(TExpToken& node,
                                                   const std::vector<FieldDescriptor>& fields,
                                                   std::shared_ptr<const TCollation> collation,
                                                   const mindrel::Clock& clock);

  // A subtree whose value is the same for every record: evaluated once.
  static bool IsConstant(const TExpToken& node);

  const FieldDescriptor& field() const { return *field_; }
  // A string condition that an index must answer with upper-cased keys.
  bool wantsCaseInsensitive() const { return caseInsensitive_; }
  // Whether `index` (first key field = the column) can answer the condition
  // exactly; the key ranges below need such an index.
  bool answerableBy(const TIndexAccess& index) const;

  // Rows whose column is NULL pass.
  bool nullRowsPass() const { return nullRowsPass_; }
  // Ranges of non-NULL keys; with `complement()` the non-NULL keys outside them.
  std::vector<TKeyRange> ranges(const TIndexAccess& index) const;
  bool complement() const { return complement_; }
  // Every key with a NULL first field; every key with a non-NULL one.
  static TKeyRange NullKeys(const TIndexAccess& index);
  static TKeyRange NonNullKeys(const TIndexAccess& index);

 private:
  enum class Wrap { None, Upper, Lower };
  // Where a constant's value sits among the keys, in value order: [low, high].
  struct Place {
    KeyBuffer low;
    KeyBuffer high;
    bool none = false;  // no key equals the constant
  };

  TFilterCondition() = default;
  bool readSubject(TExpToken& subject, const std::vector<FieldDescriptor>& fields);
  bool readConstants(std::vector<TExpToken*> constants, const TExpressionEvaluator& evaluator);
  std::optional<Place> placeOf(const TExpToken& constant, const TIndexAccess& index) const;
  std::optional<Place> textPlace(std::string text, const TIndexAccess& index) const;
  std::vector<TKeyRange> valueRanges(const TIndexAccess& index) const;

  std::shared_ptr<const TCollation> collation_;
  const FieldDescriptor* field_ = nullptr;
  Wrap wrap_ = Wrap::None;
  TExpOperator op_ = TExpOperator::None;
  bool stringCompare_ = false;
  bool caseInsensitive_ = false;
  bool ignoreCase_ = false;  // a string comparison that ignores case
  int partialLength_ = -1;
  std::vector<std::unique_ptr<TExpToken>> constants_;  // evaluated copies
  bool nullConstant_ = false;
  bool nullRowsPass_ = false;
  bool complement_ = false;
};

}  // namespace keel
