#pragma once

// Resolves the column references of a parsed expression, gives every node its
// value type and rejects ill-typed trees with the parser's message forms.

#include <optional>
#include <string>
#include <vector>

#include "engine/sql/ColumnResolver.h"
#include "engine/sql/ExpToken.h"
#include "engine/sql/ExpressionContext.h"
#include "engine/sql/ExpressionErrors.h"

namespace keel {

class TExpressionVerifier {
 public:
  // `errors` is normally the parser's, so that its statement label is used.
  TExpressionVerifier(const TExpressionErrors& errors, TColumnResolver& resolver);

  // Assigns types bottom-up. String constants compared with dates, times,
  // timestamps or booleans are converted to that type here. Aggregates are
  // accepted only where the context allows them, and never nested.
  void Verify(TExpToken& node, TExpContext context);

  // Verify, then require a boolean result.
  void VerifyFilter(TExpToken& root);

  // The type of `op` over operands of these types; nullopt when the
  // combination is not allowed. Exposed for the layers that type columns of
  // results.
  static std::optional<FieldType> ArithmeticType(TExpOperator op, FieldType left, FieldType right);

 private:
  void VerifyNode(TExpToken& node, bool insideAggregate);
  void VerifyUnary(TExpToken& node);
  void VerifyBinary(TExpToken& node);
  void VerifyArithmetic(TExpToken& node);
  void VerifyPredicate(TExpToken& node);
  void VerifyFunction(TExpToken& node);
  void VerifyCase(TExpToken& node);
  void CheckComparison(TExpToken& left, TExpToken& right) const;
  void ConvertConstant(TExpToken& constant, FieldType wanted) const;
  // Branches of IF, IFNULL, COALESCE, CASE: one class of values, widened.
  void TypeFromBranches(TExpToken& node, const std::vector<TExpToken*>& branches) const;

  void RequireBoolean(const TExpToken& operand) const;
  void RequireText(const TExpToken& operand) const;
  void RequireNumeric(const TExpToken& operand) const;
  void RequireIntegral(const TExpToken& operand) const;
  void RequireTemporal(const TExpToken& operand) const;
  [[noreturn]] void RaiseExpectedTypes(const std::vector<FieldType>& allowed, const TExpToken& found) const;

  const TExpressionErrors& errors_;
  TColumnResolver& resolver_;
  bool aggregatesAllowed_ = false;
};

}  // namespace keel
