#include "engine/sql/Filter.h"

#include <algorithm>
#include <utility>

#include "engine/core/DataSession.h"
#include "engine/core/FieldCodec.h"
#include "engine/core/IndexSlotStore.h"
#include "engine/core/ReadAheadRun.h"
#include "engine/sql/ExpressionParser.h"
#include "engine/sql/ExpressionVerifier.h"
#include "engine/sql/FieldColumns.h"
#include "engine/sql/FilterReadScope.h"
#include "engine/sql/FilterText.h"

namespace keel {

namespace {

// A computation in another order than the written one raised an error: the
// written order decides whether the error is real.
struct EOrderChanged {};

const mindrel::Clock& ClockOf(TDataCursor& cursor, const TFilterSettings& settings) {
  return settings.Clock ? *settings.Clock : cursor.table().data().clock();
}

bool IsDeleted(std::span<const uint8_t> row) {
  return row[kRowStatusAt] == kRowDeleted;
}

const TEngineSettings& EngineOf(const TDataCursor& cursor) {
  return cursor.directory().session().engine().settings();
}

// Runs one walk of an index again when a page miss found the table changed
// by another writer: the refresh dropped the cached pages, and the read lock
// that the surrounding read scope now holds keeps the second walk from
// meeting another change. The walk must fetch its index access itself.
template <typename Walk>
auto Rewalking(TDataTable& table, Walk&& walk) -> decltype(walk()) {
  try {
    return walk();
  } catch (const EIndexTableChanged&) {
    table.recoverFromChange();
  }
  return walk();
}

}  // namespace

int TFilterSettings::maxReadLockCount(const TDataCursor& cursor) const {
  return std::max(1, MaxReadLockCount.value_or(EngineOf(cursor).TableMaxReadLockCount));
}

int TFilterSettings::filterIndexThreshhold(const TDataCursor& cursor) const {
  return std::clamp(FilterIndexThreshhold.value_or(EngineOf(cursor).TableFilterIndexThreshhold), 0, 100);
}

TFilter::TFilter(TDataCursor& cursor, std::string_view text, TFilterOptions options, TFilterSettings settings)
    : cursor_(cursor),
      settings_(settings),
      text_(text),
      options_(options),
      collation_(TCollation::ForLocale(cursor.table().locale(), cursor.table().name())),
      evaluator_(collation_, ClockOf(cursor, settings)),
      rows_(cursor.fields()) {
  TExpressionParser parser(TExpressionErrors::ForFilter(cursor.table().name()));
  parser.Load(text);
  std::unique_ptr<TExpToken> tree = parser.ParseWholeText(FilterContext);
  TFieldColumns columns(cursor.fields());
  TExpressionVerifier verifier(parser.Errors(), columns);
  verifier.VerifyFilter(*tree);
  setUp(TFilterPreparer::Prepare(*tree, options));
}

TFilter::TFilter(TDataCursor& cursor, const TExpToken& verified, TFilterSettings settings,
                 Computation computation)
    : cursor_(cursor),
      settings_(settings),
      text_(verified.Text),
      options_{.CaseInsensitive = false, .WholeValue = true},
      collation_(TCollation::ForLocale(cursor.table().locale(), cursor.table().name())),
      evaluator_(collation_, ClockOf(cursor, settings)),
      rows_(cursor.fields()) {
  setUp(verified.Clone(), computation);
}

TFilter::TFilter(TDataCursor& cursor, Callback callback, TFilterSettings settings)
    : cursor_(cursor),
      settings_(settings),
      callback_(std::move(callback)),
      collation_(TCollation::ForLocale(cursor.table().locale(), cursor.table().name())),
      evaluator_(collation_, ClockOf(cursor, settings)),
      rows_(cursor.fields()) {
  compute();
}

TFilter::~TFilter() = default;

void TFilter::setUp(std::unique_ptr<TExpToken> prepared, Computation computation) {
  rows_ = TRowBufferAccessor(cursor_.fields(),
                             [this](const FieldDescriptor& field, std::span<const uint8_t> row) {
                               std::vector<uint8_t> value = cursor_.blobValue(row, field);
                               return std::string(value.begin(), value.end());
                             });
  evaluator_.SetRowAccessor(&rows_);
  original_ = std::move(prepared);
  // Planning counts keys in the trees: another writer may change them
  // meanwhile, and the plan is then made again from the parsed text.
  {
    TFilterReadScope read(cursor_.table());
    Rewalking(cursor_.table(), [&] {
      plan_ = original_->Clone();
      optimizer_ = std::make_unique<TFilterOptimizer>(cursor_.table(), collation_, ClockOf(cursor_, settings_));
      rewritten_ = optimizer_->Optimize(plan_);
    });
  }
  if (computation == Computation::Now) compute();
}

int TFilter::level() const {
  return optimizer_ ? optimizer_->PlanOf(*plan_).level : flUnoptimized;
}

int64_t TFilter::candidates() const {
  if (!optimizer_) return records_;
  const TNodePlan& plan = optimizer_->PlanOf(*plan_);
  return plan.level == flOptimized ? 0 : plan.keys;
}

double TFilter::cost() const {
  if (optimizer_) return optimizer_->PlanOf(*plan_).cost;
  return static_cast<double>(records_) * static_cast<double>(cursor_.rowSize());
}

std::vector<TFilterStep> TFilter::steps() const {
  std::vector<const TExpToken*> operands;
  if (plan_) {
    const TExpToken* node = plan_.get();
    while (node->Kind == TNodeKind::BinaryOperator && node->Operator == TExpOperator::And) {
      operands.push_back(node->Right.get());
      node = node->Left.get();
    }
    operands.push_back(node);
    std::reverse(operands.begin(), operands.end());
  }
  std::vector<TFilterStep> steps;
  for (const TExpToken* operand : operands) {
    const TNodePlan& plan = optimizer_->PlanOf(*operand);
    TFilterStep step;
    step.Text = FilterConditionText(*operand);
    step.Level = plan.level;
    step.Slot = plan.slot;
    if (plan.slot >= 0) step.Index = cursor_.table().access(plan.slot).descriptor().name;
    step.Keys = plan.keys;
    step.Cost = plan.cost;
    steps.push_back(std::move(step));
  }
  if (callback_) {
    TFilterStep step;
    step.Text = "callback";
    step.Keys = records_;
    step.Cost = cost();
    steps.push_back(std::move(step));
  }
  return steps;
}

void TFilter::compute() {
  {
    TFilterReadScope read(cursor_.table());
    records_ = cursor_.table().data().physicalRowCount();
  }
  universe_.reset();
  if (callback_) {
    bitmap_ = readRecords(nullptr, [this] { return callback_(row_); });
    return;
  }
  try {
    bitmap_ = computeNode(*plan_, nullptr);
  } catch (const EOrderChanged&) {
    bitmap_ = evaluateRecords(nullptr, *original_, true);
  }
}

bool TFilter::passes(std::span<const uint8_t> row) {
  rows_.SetRow(row);
  try {
    return evaluator_.Passes(*original_);
  } catch (const EKeelEngineError& error) {
    if (error.code() != ErrorCode::KEEL_KEYORRECDELETED) throw;
    return false;
  }
}

TRecordsBitmap TFilter::computeNode(TExpToken& node, const TRecordsBitmap* within) {
  const TNodePlan& plan = optimizer_->PlanOf(node);
  if (TFilterCondition::IsConstant(node)) {
    bool holds = false;
    try {
      holds = evaluator_.Passes(node);
    } catch (const EKeelEngineError&) {
      throw EOrderChanged{};
    }
    if (!holds) return TRecordsBitmap(records_);
    return within ? *within : universe();
  }
  if (plan.level == flOptimized && plan.condition) {
    TRecordsBitmap found = scanCondition(plan);
    if (within) found.intersect(*within);
    return found;
  }
  if (plan.level > flUnoptimized && node.Kind == TNodeKind::BinaryOperator) {
    TRecordsBitmap left = computeNode(*node.Left, within);
    if (node.Operator == TExpOperator::And) return computeNode(*node.Right, &left);
    left.unite(computeNode(*node.Right, within));
    return left;
  }
  if (plan.level > flUnoptimized && node.Kind == TNodeKind::UnaryOperator &&
      node.Operator == TExpOperator::Not) {
    TRecordsBitmap passing = computeNode(*node.Left, within);
    TRecordsBitmap rest = within ? *within : universe();
    rest.subtract(passing);  // the universe holds no deleted records
    return rest;
  }
  return evaluateRecords(within, node, false);
}

TRecordsBitmap TFilter::scanCondition(const TNodePlan& plan) {
  TFilterReadScope read(cursor_.table());
  return Rewalking(cursor_.table(), [&] { return scanRanges(plan); });
}

TRecordsBitmap TFilter::scanRanges(const TNodePlan& plan) {
  TIndexAccess& index = cursor_.table().access(plan.slot);
  TIndexTree& tree = index.tree();
  const TKeyComparer& comparer = index.comparer();
  auto scan = [&](const TKeyRange& range, TRecordsBitmap& into) {
    IndexEntryRef at;
    if (range.from.inclusive) {
      at = tree.seek(range.from.key, range.from.length);
    } else {
      at = tree.seekLast(range.from.key, range.from.length);
      at = at.valid() ? tree.next(at) : tree.first();
    }
    for (; at.valid(); at = tree.next(at)) {
      const int order = comparer.compare(tree.keyAt(at), range.to.key, range.to.length);
      if (order > 0 || (order == 0 && !range.to.inclusive)) break;
      into.set(tree.rowAt(at));
    }
  };
  const TFilterCondition& condition = *plan.condition;
  TRecordsBitmap found(records_);
  for (const TKeyRange& range : condition.ranges(index)) scan(range, found);
  if (condition.complement()) {
    TRecordsBitmap all(records_);
    scan(TFilterCondition::NonNullKeys(index), all);
    all.subtract(found);
    found = std::move(all);
  }
  if (condition.nullRowsPass()) scan(TFilterCondition::NullKeys(index), found);
  return found;
}

// Every active record: the entries of the primary index, which holds one per row.
TRecordsBitmap TFilter::universe() {
  if (!universe_) {
    TFilterReadScope read(cursor_.table());
    universe_ = Rewalking(cursor_.table(), [&] {
      TIndexTree& tree = cursor_.table().access(0).tree();
      TRecordsBitmap all(records_);
      for (IndexEntryRef at = tree.first(); at.valid(); at = tree.next(at)) all.set(tree.rowAt(at));
      return all;
    });
  }
  return *universe_;
}

TRecordsBitmap TFilter::readRecords(const TRecordsBitmap* within, const std::function<bool()>& accept) {
  TDataFile& data = cursor_.table().data();
  TRecordsBitmap result(records_);
  TFilterReadScope read(cursor_.table());
  const int64_t batch = std::max<int64_t>(1, records_ / settings_.maxReadLockCount(cursor_));
  int64_t inBatch = 0;
  auto following = [&](int64_t k) { return within ? within->nextSet(k + 1) : (k < records_ ? k + 1 : 0); };
  for (int64_t k = within ? within->nextSet(1) : (records_ > 0 ? 1 : 0); k != 0; k = following(k)) {
    if (++inBatch > batch) {
      read.pause();
      inBatch = 1;
    }
    if (k > data.physicalRowCount()) break;  // emptied meanwhile
    const size_t ahead =
        within ? ReadAheadRun(std::min(static_cast<size_t>(records_ - k + 1), data.readAheadLimit()),
                              [&](size_t offset) { return within->test(k + static_cast<int64_t>(offset)); })
               : static_cast<size_t>(records_ - k + 1);
    // The record is judged where it lies in the cache, pinned meanwhile.
    TPinnedUnit unit = data.row(k, ahead);
    // A page miss found the table changed by another writer: the refresh
    // dropped the cache and the read lock is held until the next pause.
    // The scan goes on; the change watch of the filter's owner asks for
    // a computation of the table as it is now.
    if (!unit && k <= data.physicalRowCount()) unit = data.row(k, ahead);
    if (!unit) break;
    row_ = std::span<const uint8_t>(unit->data(), unit->size());
    if (IsDeleted(row_)) continue;
    try {
      if (accept()) result.set(k);
    } catch (const EKeelEngineError& error) {
      // A record changed or deleted by another session meanwhile does not match.
      if (error.code() != ErrorCode::KEEL_KEYORRECDELETED) throw;
    }
  }
  row_ = {};
  return result;
}

TRecordsBitmap TFilter::evaluateRecords(const TRecordsBitmap* within, TExpToken& node, bool whole) {
  try {
    return readRecords(within, [&] {
      rows_.SetRow(row_);
      return evaluator_.Passes(node);
    });
  } catch (const EKeelEngineError& error) {
    if (whole || error.code() == ErrorCode::KEEL_KEYORRECDELETED) throw;
    throw EOrderChanged{};
  }
}

}  // namespace keel
