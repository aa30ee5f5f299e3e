#include "engine/sql/FilterOptimizer.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "engine/sql/FilterReadScope.h"

namespace keel {

namespace {

using Op = TExpOperator;

bool IsAnd(const TExpToken& node) {
  return node.Kind == TNodeKind::BinaryOperator && node.Operator == Op::And;
}

// The operands of the AND chain under `node`, left to right, and the AND
// nodes that join them.
void CollectChain(std::unique_ptr<TExpToken>& node, std::vector<std::unique_ptr<TExpToken>>& operands,
                  std::vector<std::unique_ptr<TExpToken>>& joins) {
  if (!IsAnd(*node)) {
    operands.push_back(std::move(node));
    return;
  }
  CollectChain(node->Left, operands, joins);
  CollectChain(node->Right, operands, joins);
  joins.push_back(std::move(node));
}

}  // namespace

std::string FilterLevelName(int level) {
  switch (level) {
    case flOptimized:
      return "OPTIMIZED";
    case flPartiallyOptimized:
      return "PARTIALLY-OPTIMIZED";
    default:
      return "UN-OPTIMIZED";
  }
}

TFilterOptimizer::TFilterOptimizer(TDataTable& table, std::shared_ptr<const TCollation> collation,
                                   const mindrel::Clock& clock)
    : table_(table), collation_(std::move(collation)), clock_(clock) {}

bool TFilterOptimizer::Optimize(std::unique_ptr<TExpToken>& root) {
  TFilterReadScope read(table_);
  plans_.clear();
  Plan(*root, nullptr, 0);
  const bool rewritten = RewriteChains(root);
  if (rewritten) {
    plans_.clear();
    Plan(*root, nullptr, 0);
  }
  return rewritten;
}

const TNodePlan& TFilterOptimizer::PlanOf(const TExpToken& node) const {
  static const TNodePlan kNone;
  auto found = plans_.find(&node);
  return found == plans_.end() ? kNone : found->second;
}

void TFilterOptimizer::Plan(TExpToken& node, const TExpToken* parent, int chainDepth) {
  TNodePlan plan;
  plan.parent = parent;
  plan.chainDepth = chainDepth;
  const int64_t records = table_.data().physicalRowCount();
  plan.keys = records;
  plan.cost = RecordCost(records);
  if (node.Kind == TNodeKind::BinaryOperator && (node.Operator == Op::And || node.Operator == Op::Or)) {
    Plan(*node.Left, &node, node.Operator == Op::And ? chainDepth : 0);
    Plan(*node.Right, &node, node.Operator == Op::And ? chainDepth + 1 : 0);
    const TNodePlan& left = plans_[node.Left.get()];
    const TNodePlan& right = plans_[node.Right.get()];
    const bool bothFull = left.level == flOptimized && right.level == flOptimized;
    if (node.Operator == Op::And) {
      plan.level = bothFull ? flOptimized : std::max(left.level, right.level) > 0 ? flPartiallyOptimized : 0;
      plan.keys = std::min(left.keys, right.keys);
      plan.cost = std::min(left.cost, right.cost);
    } else {
      plan.level = bothFull ? flOptimized : std::min(left.level, right.level) > 0 ? flPartiallyOptimized : 0;
      plan.keys = std::min(records, left.keys + right.keys);
      plan.cost = left.cost + right.cost;
    }
  } else if (node.Kind == TNodeKind::UnaryOperator) {
    Plan(*node.Left, &node, 0);
    const TNodePlan& operand = plans_[node.Left.get()];
    if (node.Operator == Op::Not) {
      plan.level = operand.level > 0 ? flPartiallyOptimized : flUnoptimized;
    } else {
      plan.level = operand.level;
    }
  } else {
    PlanCondition(node, plan);
  }
  plans_[&node] = std::move(plan);
}

void TFilterOptimizer::PlanCondition(TExpToken& node, TNodePlan& plan) {
  std::optional<TFilterCondition> condition =
      TFilterCondition::Recognise(node, table_.fields(), collation_, clock_);
  if (!condition) return;
  size_t smallestKey = 0;
  for (int slot = 0; slot < table_.indexCount(); ++slot) {
    TIndexAccess& index = table_.access(slot);
    if (!condition->answerableBy(index)) continue;
    if (plan.slot >= 0 && index.layout().keySize() >= smallestKey) continue;
    plan.slot = slot;
    smallestKey = index.layout().keySize();
  }
  if (plan.slot < 0) return;
  plan.level = flOptimized;
  plan.keys = CountKeys(*condition, table_.access(plan.slot));
  plan.cost = RecordCost(plan.keys);
  plan.condition = std::move(condition);
}

int64_t TFilterOptimizer::CountKeys(const TFilterCondition& condition, TIndexAccess& index) {
  TIndexTree& tree = index.tree();
  auto count = [&](const TKeyRange& range) {
    const int64_t upTo = range.to.inclusive ? tree.countLessOrEqual(range.to.key, range.to.length)
                                            : tree.countLess(range.to.key, range.to.length);
    const int64_t before = range.from.inclusive ? tree.countLess(range.from.key, range.from.length)
                                                : tree.countLessOrEqual(range.from.key, range.from.length);
    return std::max<int64_t>(0, upTo - before);
  };
  int64_t keys = 0;
  for (const TKeyRange& range : condition.ranges(index)) keys += count(range);
  if (condition.complement()) keys = std::max<int64_t>(0, count(TFilterCondition::NonNullKeys(index)) - keys);
  if (condition.nullRowsPass()) keys += count(TFilterCondition::NullKeys(index));
  return keys;
}

// Reading a record costs its size, and a third or more on top for the
// pages and headers around it: more when every page must be deciphered.
double TFilterOptimizer::RecordCost(int64_t records) const {
  const double surcharge = table_.data().encrypted() ? 1.4 : 1.3;
  return static_cast<double>(records) * static_cast<double>(table_.data().rowSize()) * surcharge;
}

bool TFilterOptimizer::Better(const TExpToken& a, const TExpToken& b) const {
  const TNodePlan& pa = PlanOf(a);
  const TNodePlan& pb = PlanOf(b);
  if (pa.level != pb.level) return pa.level > pb.level;
  return pa.level > 0 && pa.cost < pb.cost;
}

bool TFilterOptimizer::RewriteChains(std::unique_ptr<TExpToken>& node) {
  bool rewritten = false;
  if (!IsAnd(*node)) {
    if (node->Left) rewritten = RewriteChains(node->Left) || rewritten;
    if (node->Right) rewritten = RewriteChains(node->Right) || rewritten;
    return rewritten;
  }
  std::vector<std::unique_ptr<TExpToken>> operands;
  std::vector<std::unique_ptr<TExpToken>> joins;
  CollectChain(node, operands, joins);
  for (auto& operand : operands) rewritten = RewriteChains(operand) || rewritten;
  size_t best = 0;
  for (size_t i = 1; i < operands.size(); ++i) {
    if (Better(*operands[i], *operands[best])) best = i;
  }
  if (best != 0) {
    std::rotate(operands.begin(), operands.begin() + static_cast<std::ptrdiff_t>(best),
                operands.begin() + static_cast<std::ptrdiff_t>(best) + 1);
    rewritten = true;
  }
  // Rebuilt left-deep: ((best AND second) AND third) ...
  std::unique_ptr<TExpToken> chain = std::move(operands[0]);
  for (size_t i = 1; i < operands.size(); ++i) {
    std::unique_ptr<TExpToken> join = std::move(joins[i - 1]);
    join->Left = std::move(chain);
    join->Right = std::move(operands[i]);
    chain = std::move(join);
  }
  node = std::move(chain);
  return rewritten;
}

}  // namespace keel
