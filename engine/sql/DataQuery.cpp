#include "engine/sql/DataQuery.h"

#include "engine/core/ErrorCodes.h"
#include "engine/sql/BuiltinFunctions.h"

namespace keel {

namespace {

bool ContainsAggregate(const TExpToken* node) {
  if (node == nullptr) return false;
  if (node->Kind == TNodeKind::Function && node->Function != TExpFunction::Registered) {
    const TBuiltinFunction* function = FindBuiltinFunction(node->FunctionName);
    if (function != nullptr && function->Aggregate) return true;
  }
  if (ContainsAggregate(node->Left.get()) || ContainsAggregate(node->Right.get())) return true;
  for (const auto& argument : node->Arguments) {
    if (ContainsAggregate(argument.get())) return true;
  }
  return false;
}

std::string SetOperationName(TSetOperation operation) {
  switch (operation) {
    case TSetOperation::Union:
      return "UNION";
    case TSetOperation::Intersect:
      return "INTERSECT";
    case TSetOperation::Except:
      return "EXCEPT";
    case TSetOperation::None:
      break;
  }
  return {};
}

}  // namespace

std::string TDataQuery::OutsideSubset() const {
  if (!Into.empty()) return "INTO";
  if (Distinct) return "DISTINCT";
  if (SeveralTables()) return "JOIN";
  for (const TResultField& field : ResultFields) {
    if (ContainsAggregate(field.Expression.get())) return "aggregate functions";
  }
  if (!GroupBy.empty()) return "GROUP BY";
  if (Having) return "HAVING";
  if (!SubQueries.empty()) return "sub-queries";
  if (SetOperation != TSetOperation::None) return SetOperationName(SetOperation);
  if (!Locale.empty()) return "LOCALE";
  if (Encrypted) return "ENCRYPTED";
  if (NoJoinOptimize) return "NOJOINOPTIMIZE";
  if (JoinOptimizeCosts) return "JOINOPTIMIZECOSTS";
  return {};
}

bool TDataQuery::ReturnsRowFor(const TExpToken& /*subject*/) {
  raise(ErrorCode::KEEL_SQLEXEC, {.extra = "sub-queries are not supported"});
}

}  // namespace keel
