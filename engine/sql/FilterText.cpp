#include "engine/sql/FilterText.h"

namespace keel {

namespace {

bool IsLogical(const TExpToken& node) {
  return node.Kind == TNodeKind::BinaryOperator &&
         (node.Operator == TExpOperator::And || node.Operator == TExpOperator::Or);
}

// An operand, grouped when it binds less tightly than its parent.
std::string Operand(const TExpToken& operand, const TExpToken& parent) {
  const bool sameChain = IsLogical(parent) && operand.Operator == parent.Operator;
  if (IsLogical(operand) && !sameChain) return "(" + FilterConditionText(operand) + ")";
  return FilterConditionText(operand);
}

}  // namespace

std::string FilterConditionText(const TExpToken& node) {
  switch (node.Kind) {
    case TNodeKind::UnaryOperator:
      return node.Text + (node.Operator == TExpOperator::Not ? " " : "") + Operand(*node.Left, node);
    case TNodeKind::BinaryOperator:
    case TNodeKind::StringCompare:
      if (node.Right->IsNullConstant() && node.Text.rfind("IS", 0) == 0)
        return Operand(*node.Left, node) + " " + node.Text;
      return Operand(*node.Left, node) + " " + node.Text + " " + Operand(*node.Right, node);
    case TNodeKind::Predicate: {
      const auto& args = node.Arguments;
      std::string text = Operand(*args[0], node) + " " + node.Text + " ";
      if (node.Operator == TExpOperator::Between || node.Operator == TExpOperator::NotBetween) {
        return text + Operand(*args[1], node) + " AND " + Operand(*args[2], node);
      }
      if (node.Operator == TExpOperator::Like || node.Operator == TExpOperator::NotLike) {
        text += Operand(*args[1], node);
        return args.size() > 2 ? text + " ESCAPE " + Operand(*args[2], node) : text;
      }
      if (node.SubQuery) return text + "(SELECT ...)";
      text += "(";
      for (size_t i = 1; i < args.size(); ++i) text += (i > 1 ? ", " : "") + Operand(*args[i], node);
      return text + ")";
    }
    default:
      return node.Text;
  }
}

}  // namespace keel
