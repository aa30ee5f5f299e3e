#pragma once

// One filter of a cursor: a boolean expression (or a callback) that a record
// must satisfy to be visible, with the bitmap of the records that do.
//
// An expression is parsed and verified (error 10051), prepared for string
// comparisons, planned by TFilterOptimizer and then computed: optimised
// conditions from index key ranges, the rest by reading records in physical
// order. The bitmap holds exactly the records for which the evaluator finds
// the expression true; the optimisation only changes how they are found.
//
// The cursor must outlive the filter. Compute() reads under the table read
// lock and lets it go every max(1, N / MaxReadLockCount) records.

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/DataCursor.h"
#include "engine/sql/ExpressionEvaluator.h"
#include "engine/sql/FilterOptimizer.h"
#include "engine/sql/FilterPreparer.h"
#include "engine/sql/RecordsBitmap.h"
#include "engine/sql/RowBufferAccessor.h"

namespace keel {

// Unset values come from the engine of the cursor's session when they are
// needed, so that changes to the engine's settings apply.
struct TFilterSettings {
  std::optional<int> MaxReadLockCount = std::nullopt;  // the engine's TableMaxReadLockCount
  // Percent of the table's records at or below which a cursor in index
  // order navigates over the matching keys (TableFilterIndexThreshhold).
  std::optional<int> FilterIndexThreshhold = std::nullopt;
  // CURRENT_DATE and the like; null: the clock of the table's engine.
  const mindrel::Clock* Clock = nullptr;

  int maxReadLockCount(const TDataCursor& cursor) const;
  int filterIndexThreshhold(const TDataCursor& cursor) const;
};

// One condition of a filter's plan, for explain output and query plans.
struct TFilterStep {
  std::string Text;
  int Level = flUnoptimized;
  std::string Index;  // the chosen index ("" = the primary); empty with Slot -1
  int Slot = -1;
  int64_t Keys = 0;
  double Cost = 0;
};

class TFilter {
 public:
  using Callback = std::function<bool(std::span<const uint8_t> row)>;

  // A filter expression (parse and type errors: 10051).
  TFilter(TDataCursor& cursor, std::string_view text, TFilterOptions options = {},
          TFilterSettings settings = {});
  // A condition parsed and verified against the cursor's table elsewhere (a
  // SELECT's WHERE); the filter works on a copy. With `computation` OnDemand
  // the filter is planned but its bitmap stays empty until compute().
  enum class Computation { Now, OnDemand };
  TFilter(TDataCursor& cursor, const TExpToken& verified, TFilterSettings settings = {},
          Computation computation = Computation::Now);
  // A callback filter: never optimised, called for every record.
  TFilter(TDataCursor& cursor, Callback callback, TFilterSettings settings = {});
  ~TFilter();
  TFilter(const TFilter&) = delete;
  TFilter& operator=(const TFilter&) = delete;

  bool isCallback() const { return static_cast<bool>(callback_); }
  const std::string& text() const { return text_; }
  TFilterOptions options() const { return options_; }
  int level() const;
  // The estimated records left to read once the index ranges have answered
  // what they can: every record when no index helps, none when all did.
  int64_t candidates() const;
  bool rewritten() const { return rewritten_; }
  double cost() const;
  // The operands of the top AND chain in the order they are computed (the
  // whole expression when it is no AND).
  std::vector<TFilterStep> steps() const;

  bool active() const { return active_; }
  void setActive(bool active) { active_ = active; }

  // Recomputes the bitmap from the table as it is now.
  void compute();
  // Whether `row` (a whole row of the cursor's table, not deleted) satisfies
  // the expression as written; a record deleted by another session meanwhile
  // does not. Evaluation errors raise.
  bool passes(std::span<const uint8_t> row);
  const TRecordsBitmap& bitmap() const { return bitmap_; }

 private:
  void setUp(std::unique_ptr<TExpToken> prepared, Computation computation = Computation::Now);
  TRecordsBitmap computeNode(TExpToken& node, const TRecordsBitmap* within);
  TRecordsBitmap scanCondition(const TNodePlan& plan);
  TRecordsBitmap scanRanges(const TNodePlan& plan);
  TRecordsBitmap universe();
  // Records of `within` (every record when null) that `accept` takes.
  TRecordsBitmap readRecords(const TRecordsBitmap* within, const std::function<bool()>& accept);
  TRecordsBitmap evaluateRecords(const TRecordsBitmap* within, TExpToken& node, bool whole);

  TDataCursor& cursor_;
  TFilterSettings settings_;
  std::string text_;
  TFilterOptions options_;
  Callback callback_;
  std::shared_ptr<const TCollation> collation_;
  std::unique_ptr<TExpToken> original_;  // prepared, in the written order
  std::unique_ptr<TExpToken> plan_;      // the copy the optimizer reordered
  std::unique_ptr<TFilterOptimizer> optimizer_;
  TExpressionEvaluator evaluator_;
  TRowBufferAccessor rows_;
  std::span<const uint8_t> row_;  // the record being read
  bool rewritten_ = false;
  bool active_ = true;
  int64_t records_ = 0;  // physical record count of the last computation
  std::optional<TRecordsBitmap> universe_;
  TRecordsBitmap bitmap_;
};

}  // namespace keel
