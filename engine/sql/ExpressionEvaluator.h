#pragma once

// Computes the value of a verified expression tree for the current record.
// Null rules: comparisons, predicates, AND, OR and NOT never yield null; AND,
// OR and NOT look at operand values only, so a null boolean counts as false;
// "=" holds for two nulls, "<>" for exactly one; ordering comparisons of two
// strings treat a null string as empty, of anything else yield false on a
// null; arithmetic on a null is null except string concatenation.

#include <memory>
#include <string_view>

#include "engine/core/Collation.h"
#include "engine/sql/ExpToken.h"
#include "engine/sql/RowAccessor.h"
#include "platform/Clock.h"

namespace keel {

class TExpressionEvaluator {
 public:
  // `collation` is the table's locale (locale 0 compares bytes).
  explicit TExpressionEvaluator(std::shared_ptr<const TCollation> collation,
                                const mindrel::Clock& clock = mindrel::SystemClock::instance());

  // Column references read the current record through `rows`; without one
  // they raise error 11949.
  void SetRowAccessor(const TRowAccessor* rows) { rows_ = rows; }

  // Fills the value and null flag of `node` and of every node it evaluated.
  void Evaluate(TExpToken& node) const;

  // Evaluates a boolean tree: whether the current record passes.
  bool Passes(TExpToken& root) const;

 private:
  void EvaluateColumn(TExpToken& node) const;
  void EvaluateUnary(TExpToken& node) const;
  void EvaluateBinary(TExpToken& node) const;
  void EvaluateArithmetic(TExpToken& node) const;
  void EvaluateStringCompare(TExpToken& node) const;
  void EvaluatePredicate(TExpToken& node) const;
  void EvaluateFunction(TExpToken& node) const;
  void EvaluateCase(TExpToken& node) const;
  void EvaluateTextFunction(TExpToken& node) const;
  void EvaluateNumberFunction(TExpToken& node) const;
  void EvaluateExtract(TExpToken& node) const;

  bool Equal(const TExpToken& left, const TExpToken& right) const;  // "=" with its null rules
  bool Ordered(TExpOperator op, const TExpToken& left, const TExpToken& right) const;
  // <0, 0, >0; both values non-null, or both text.
  int Compare(const TExpToken& left, const TExpToken& right, bool caseInsensitive = false) const;
  int CompareText(std::string_view left, std::string_view right, bool caseInsensitive) const;
  // The branch's value as the node's type.
  void TakeBranch(TExpToken& node, const TExpToken& branch) const;

  std::shared_ptr<const TCollation> collation_;
  const mindrel::Clock& clock_;
  const TRowAccessor* rows_ = nullptr;
};

}  // namespace keel
