#pragma once

// Decides for every node of a prepared filter tree how it can be answered:
// level 2 "OPTIMIZED" (index ranges only), 1 "PARTIALLY-OPTIMIZED" (index
// ranges narrow the records that are then read), 0 "UN-OPTIMIZED" (every
// record read). Chooses the index of each optimised condition, estimates its
// cost, and moves the best condition of each AND chain to its front.

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "engine/core/DataTable.h"
#include "engine/sql/ExpToken.h"
#include "engine/sql/FilterCondition.h"

namespace keel {

enum TFilterLevel : int { flUnoptimized = 0, flPartiallyOptimized = 1, flOptimized = 2 };

// "UN-OPTIMIZED", "PARTIALLY-OPTIMIZED", "OPTIMIZED".
std::string FilterLevelName(int level);

struct TNodePlan {
  int level = flUnoptimized;
  std::optional<TFilterCondition> condition;  // level-2 conditions
  int slot = -1;                              // the index that answers it
  int64_t keys = 0;                           // estimated matching keys
  double cost = 0;                            // estimated bytes read
  int chainDepth = 0;                         // position in its AND chain, 0 = first
  const TExpToken* parent = nullptr;
};

class TFilterOptimizer {
 public:
  // The table, collation and clock must outlive the optimizer.
  TFilterOptimizer(TDataTable& table, std::shared_ptr<const TCollation> collation,
                   const mindrel::Clock& clock);

  // Plans every node of `root`, reordering AND chains; true when one was.
  // Reads index statistics under the table's read lock.
  bool Optimize(std::unique_ptr<TExpToken>& root);
  const TNodePlan& PlanOf(const TExpToken& node) const;

 private:
  void Plan(TExpToken& node, const TExpToken* parent, int chainDepth);
  void PlanCondition(TExpToken& node, TNodePlan& plan);
  int64_t CountKeys(const TFilterCondition& condition, TIndexAccess& index);
  double RecordCost(int64_t records) const;
  bool RewriteChains(std::unique_ptr<TExpToken>& node);
  bool Better(const TExpToken& a, const TExpToken& b) const;

  TDataTable& table_;
  std::shared_ptr<const TCollation> collation_;
  const mindrel::Clock& clock_;
  std::map<const TExpToken*, TNodePlan> plans_;
};

}  // namespace keel
