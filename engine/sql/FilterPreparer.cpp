#include "engine/sql/FilterPreparer.h"

#include <utility>

#include "engine/sql/ExpTypes.h"

namespace keel {

namespace {

bool IsStringConstant(const TExpToken& node) {
  return node.Kind == TNodeKind::Constant && !node.IsParameter && !node.Null && node.Type == FieldType::String;
}

bool IsCaseCall(const TExpToken& node) {
  return node.Kind == TNodeKind::Function &&
         (node.Function == TExpFunction::Upper || node.Function == TExpFunction::Lower) && node.Arguments.size() == 1;
}

}  // namespace

std::unique_ptr<TExpToken> TFilterPreparer::Prepare(const TExpToken& verified, TFilterOptions options) {
  auto copy = verified.Clone();
  Rewrite(*copy, options);
  return copy;
}

void TFilterPreparer::Rewrite(TExpToken& node, TFilterOptions options) {
  if (MakeStringCompare(node, options)) return;
  if (node.Left) Rewrite(*node.Left, options);
  if (node.Right) Rewrite(*node.Right, options);
  for (auto& argument : node.Arguments) Rewrite(*argument, options);
}

bool TFilterPreparer::MakeStringCompare(TExpToken& node, TFilterOptions options) {
  if (node.Kind != TNodeKind::BinaryOperator ||
      (node.Operator != TExpOperator::Equal && node.Operator != TExpOperator::NotEqual)) {
    return false;
  }
  if (IsStringConstant(*node.Left) || (IsCaseCall(*node.Left) && IsStringConstant(*node.Left->Arguments[0]))) {
    std::swap(node.Left, node.Right);
  }
  bool caseInsensitive = options.CaseInsensitive;
  // UPPER(a) = UPPER('x') (or LOWER on both sides) asks for a comparison
  // that ignores case: compare a itself with the constant.
  if (IsCaseCall(*node.Left) && IsCaseCall(*node.Right) && node.Left->Function == node.Right->Function &&
      IsStringConstant(*node.Right->Arguments[0])) {
    node.Left = std::move(node.Left->Arguments[0]);
    node.Right = std::move(node.Right->Arguments[0]);
    caseInsensitive = true;
  }
  if (!IsStringConstant(*node.Right) || !IsTextValue(*node.Left)) return false;
  node.Kind = TNodeKind::StringCompare;
  node.CaseInsensitive = caseInsensitive;
  std::string& constant = node.Right->Str;
  if (!options.WholeValue && !constant.empty() && constant.back() == '*') {
    constant.erase(constant.find_last_not_of('*') + 1);
    node.PartialLength = static_cast<int>(constant.size());
  }
  return true;
}

}  // namespace keel
