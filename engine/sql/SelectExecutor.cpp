#include "engine/sql/SelectExecutor.h"

#include "engine/sql/FilterWhere.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

#include "engine/core/ConsistentRead.h"
#include "engine/core/DataSession.h"
#include "engine/core/FieldCodec.h"
#include "engine/sql/ColumnResolver.h"
#include "engine/sql/ExpressionVerifier.h"
#include "engine/sql/SortedResultRows.h"
#include "engine/sql/ValueConverter.h"

namespace keel {

namespace {

// Gives the verifier the type of every column that name resolution found.
class TSourceTypes : public TColumnResolver {
 public:
  TSourceTypes(const TDataQuery& query, const TCursorSourceColumns& sources)
      : query_(query), sources_(sources) {}

  bool ResolveColumn(TExpToken& column) override {
    for (const TSourceTable& table : query_.SourceTables) {
      if (table.Number != column.SourceNumber) continue;
      TDataCursor* cursor = sources_.CursorOf(table);
      if (cursor == nullptr || column.FieldNumber == 0) return false;
      const FieldDescriptor& field = cursor->field(static_cast<uint16_t>(column.FieldNumber));
      column.Type = field.type;
      column.Subtype = field.subtype;
      column.Size = field.isSystem() ? field.dataLength : StoredLength(field.type, field.subtype, field.size);
      column.Decimals = field.decimals;
      return true;
    }
    return false;
  }

 private:
  const TDataQuery& query_;
  const TCursorSourceColumns& sources_;
};

bool IsBlobColumn(const TResultField& field, const TDataCursor& source) {
  if (field.IsExpression) return field.Expression->Type == FieldType::Blob;
  return source.field(static_cast<uint16_t>(field.FieldNumber)).isBlob();
}

int GrowthBetweenReports(int progressSteps) {
  return progressSteps <= 0 ? 100 : std::max(1, 100 / progressSteps);
}

}  // namespace

TSelectExecutor::TSelectExecutor(TDataDirectory& database, TSelectSettings settings,
                                 const mindrel::Clock& clock)
    : database_(database), settings_(std::move(settings)), clock_(clock) {}

TSelectExecutor::~TSelectExecutor() {
  Release();
}

void TSelectExecutor::Release() {
  ReleaseResult();
  // The filter leaves its source cursor before the cursors close.
  filter_.reset();
  sources_.reset();
  builder_.reset();
  statement_.reset();
}

void TSelectExecutor::ReleaseResult() {
  result_.reset();
  live_ = false;
  rowsAffected_ = 0;
  plan_.clear();
}

void TSelectExecutor::Prepare(std::string_view text, int firstLine, int firstColumn) {
  Release();
  try {
    sources_ = std::make_unique<TCursorSourceColumns>(database_, settings_.RequestLive);
    statement_ = std::make_unique<TQueryStatement>(
        *sources_, database_.session().engine().settings().TableDataExtension);
    statement_->PrepareStatement(text, firstLine, firstColumn);
    TDataQuery* query = statement_->Query();
    if (query == nullptr) return;
    if (query->Having && query->GroupBy.empty()) {
      statement_->Errors().Plain("A GROUP BY clause must exist in order to use the HAVING clause",
                                 query->Having->Line, query->Having->Column);
    }
    CheckSubset(*query);
    VerifyQuery(*query);
    TDataCursor& source = *sources_->CursorOf(query->SourceTables.front());
    builder_ = std::make_unique<TResultRowBuilder>(*query, source, statement_->Errors(), clock_);
  } catch (...) {
    Release();
    throw;
  }
}

void TSelectExecutor::CheckSubset(const TDataQuery& query) const {
  std::string outside = query.OutsideSubset();
  if (!outside.empty())
    TValueConverter::RaiseExecution("SELECT statements with " + outside + " are not supported");
}

void TSelectExecutor::VerifyQuery(TDataQuery& query) {
  TSourceTypes types(query, *sources_);
  TExpressionVerifier verifier(statement_->Errors(), types);
  for (TResultField& field : query.ResultFields) verifier.Verify(*field.Expression, SelectItemContext);
  if (query.Where) verifier.VerifyFilter(*query.Where);
  const TDataCursor& source = *sources_->CursorOf(query.SourceTables.front());
  for (const TOrderByField& item : query.OrderBy) {
    if (!IsBlobColumn(query.ResultFields.at(static_cast<size_t>(item.ResultColumn) - 1), source)) continue;
    const bool byNumber = item.Primary->Kind == TNodeKind::Constant;
    statement_->Errors().Plain(
        byNumber ? "Invalid ORDER BY BLOB column number" : "Invalid ORDER BY BLOB column name",
        item.Primary->Line, item.Primary->Column);
  }
}

TDataCursor& TSelectExecutor::Execute(bool planWanted) {
  if (!Prepared()) TValueConverter::RaiseExecution("No statement has been prepared");
  TDataQuery* query = statement_->Query();
  if (query == nullptr) TValueConverter::RaiseExecution(statement_->Label() + " is not supported");
  ReleaseResult();
  try {
    TDataCursor& source = *sources_->CursorOf(query->SourceTables.front());
    std::vector<TDataTable*> tables;
    for (const TSourceTable& table : query->SourceTables) tables.push_back(&sources_->CursorOf(table)->table());
    TDataCursor* result = nullptr;
    // The result is one state of its tables: a row changed by another
    // program while the result is made would mix two of them.
    TConsistentRead(std::move(tables)).run([&] {
      ReleaseResult();
      filter_.reset();
      // The WHERE condition is answered from the source's indexes where it can
      // be, and record by record where it cannot; both select the same rows.
      if (query->Where) filter_ = std::make_unique<TFilterWhere>(*query->Where, TFilterSettings{.Clock = &clock_});
      result = AllowsLive(*query) ? &ExecuteLive(*query, source) : &ExecuteCanned(*query, source);
    });
    if (planWanted) DescribePlan(*query, source);
    return *result;
  } catch (...) {
    ReleaseResult();
    throw;
  }
}

// Only a plain copy of one table's columns, in an order one of its indexes
// keeps, can be served by the table's own cursor.
bool TSelectExecutor::AllowsLive(const TDataQuery& query) const {
  if (!settings_.RequestLive || query.TopCount >= 0 || query.SourceTables.size() != 1) return false;
  for (const TResultField& field : query.ResultFields) {
    if (field.IsExpression) return false;
  }
  return query.OrderBy.empty() || MatchingIndex(query, *sources_->CursorOf(query.SourceTables.front())) >= 0;
}

// The slot of the source index whose key fields, descending flags and case
// rule are exactly the ORDER BY list; -1 when there is none.
int TSelectExecutor::MatchingIndex(const TDataQuery& query, TDataCursor& source) const {
  TDataTable& table = source.table();
  for (int slot = 0; slot < table.indexCount(); ++slot) {
    const IndexDescriptor& index = table.index().descriptor(slot);
    if (index.fields.size() != query.OrderBy.size() || index.caseInsensitive != query.OrderByNoCase) continue;
    bool same = true;
    for (size_t i = 0; i < index.fields.size() && same; ++i) {
      const TOrderByField& item = query.OrderBy[i];
      const TResultField& field = query.ResultFields.at(static_cast<size_t>(item.ResultColumn) - 1);
      same = !field.IsExpression && static_cast<uint16_t>(field.FieldNumber) == index.fields[i].fieldNumber &&
             item.Descending == index.fields[i].descending;
    }
    if (same) return slot;
  }
  return -1;
}

TDataCursor& TSelectExecutor::ExecuteLive(TDataQuery& query, TDataCursor& source) {
  source.setIndex(query.OrderBy.empty() ? 0 : MatchingIndex(query, source));
  if (filter_) filter_->InstallOn(source, TSelectRowFilter::Reading::Navigated);
  live_ = true;
  for (Nav at = source.first(); at == Nav::Ok; at = source.next()) ++rowsAffected_;
  source.first();
  return source;
}

TResultTableDefinition TSelectExecutor::CannedDefinition(const TDataQuery& query, TDataCursor& source) const {
  TResultTableDefinition definition;
  definition.Fields = builder_->Columns();
  definition.Locale = source.table().locale();
  IndexDescriptor& primary = definition.Primary;
  if (!query.OrderBy.empty()) {
    bool allDescending = true;
    for (const TOrderByField& item : query.OrderBy) {
      primary.fields.push_back({static_cast<uint16_t>(item.ResultColumn), item.Descending});
      allDescending = allDescending && item.Descending;
    }
    primary.descending = allDescending;
    primary.caseInsensitive = query.OrderByNoCase;
  } else {
    // The source's primary key fields that the result carries, in key order.
    for (const IndexKeyField& key : source.table().index().descriptor(0).fields) {
      for (const TResultField& field : query.ResultFields) {
        if (field.IsExpression || static_cast<uint16_t>(field.FieldNumber) != key.fieldNumber) continue;
        primary.fields.push_back({static_cast<uint16_t>(field.ResultFieldNumber), key.descending});
        break;
      }
    }
  }
  // Equal keys keep the order in which the rows were generated.
  primary.fields.push_back({FieldDescriptor::kRecordIdNumber, false});
  return definition;
}

TDataCursor& TSelectExecutor::ExecuteCanned(TDataQuery& query, TDataCursor& source) {
  source.setIndex(TDataCursor::kPhysicalOrder);
  if (filter_) filter_->InstallOn(source, TSelectRowFilter::Reading::OnceInPhysicalOrder);
  result_ = std::make_unique<TResultTable>(database_.session(), settings_.PrivateDir,
                                           CannedDefinition(query, source));
  TDataCursor& result = result_->Cursor();
  int64_t limit = settings_.MaxRowCount >= 0 ? settings_.MaxRowCount : std::numeric_limits<int64_t>::max();
  // With ORDER BY the top rows are known only once every row is in order.
  if (query.TopCount >= 0 && query.OrderBy.empty()) limit = std::min<int64_t>(limit, query.TopCount);
  GenerateRows(source, result, limit, !query.OrderBy.empty());
  if (query.TopCount >= 0 && !query.OrderBy.empty()) KeepTop(result, query.TopCount);
  result.setIndex(0);
  rowsAffected_ = result.recordCount();
  result.first();
  return result;
}

void TSelectExecutor::GenerateRows(TDataCursor& source, TDataCursor& result, int64_t limit, bool ordered) {
  const int64_t physicalRows = std::max<int64_t>(1, source.table().data().physicalRowCount());
  const int growth = GrowthBetweenReports(settings_.ProgressSteps);
  int reported = 0;
  bool stopped = false;
  std::vector<uint8_t> sourceRow(source.rowSize());
  // Every row starts from the result's defaults; the columns overwrite them.
  const std::vector<uint8_t> blank = result.newRow();
  std::vector<uint8_t> row(blank.size());
  TDataCursor::BlobValues blobs;
  std::optional<TSortedResultRows> sorted;
  if (ordered) sorted.emplace(result);
  int64_t added = 0;
  Nav at = limit > 0 ? source.first() : Nav::Eof;
  if (at == Nav::Ok) source.currentRow(sourceRow);
  // Each move hands over the row it landed on, as the filter judged it.
  for (; at == Nav::Ok && added < limit; at = source.next(sourceRow)) {
    std::copy(blank.begin(), blank.end(), row.begin());
    blobs.clear();
    builder_->Fill(sourceRow, result.fields(), row, blobs);
    if (sorted) {
      sorted->Add(row, std::move(blobs));
    } else {
      result.append(row, blobs);
    }
    ++added;
    if (!settings_.OnQueryProgress) continue;
    const int percent =
        static_cast<int>(std::min<int64_t>(100, source.currentRowNumber() * 100 / physicalRows));
    if (percent - reported < growth) continue;
    reported = percent;
    settings_.OnQueryProgress(percent, stopped);
    if (stopped) break;
  }
  if (sorted) sorted->Flush();
  if (settings_.OnQueryProgress && !stopped && reported < 100) settings_.OnQueryProgress(100, stopped);
}

void TSelectExecutor::DescribePlan(const TDataQuery& query, TDataCursor& source) {
  const TSourceTable& table = query.SourceTables.front();
  plan_ = {"SQL statement (Executed with 4.29 Build 4)",
           "",
           query.StatementText,
           "",
           "Tables Involved",
           "",
           table.TableName + " (" + table.CorrelationName + ") table opened " +
               (table.Exclusive ? "exclusively" : "shared") + ", has " +
               std::to_string(source.table().data().header().activeRowCount) + " rows",
           "",
           "Result Set Generation",
           "",
           live_ ? "Result set will be live" : "Result set will be canned"};
  if (!query.OrderBy.empty()) {
    plan_.push_back("");
    plan_.push_back(
        live_ ? std::string("Result set will be ordered by the following column(s) using the table's index:")
              : std::string("Result set will be ordered by the following column(s) using a ") +
                    (query.OrderByNoCase ? "case-insensitive" : "case-sensitive") + " temporary index:");
    for (const TOrderByField& item : query.OrderBy) {
      const TResultField& field = query.ResultFields.at(static_cast<size_t>(item.ResultColumn) - 1);
      plan_.push_back(field.Name + " " + (item.Descending ? "DESC" : "ASC"));
    }
  }
  if (query.Where) {
    plan_.insert(plan_.end(),
                 {"", "WHERE Clause Execution", "",
                  "The condition is UN-OPTIMIZED: it is evaluated for every row of " + table.TableName});
  }
}

void TSelectExecutor::KeepTop(TDataCursor& result, int count) const {
  result.setIndex(0);
  std::vector<uint8_t> row(result.rowSize());
  Nav at = result.first();
  for (int kept = 0; at == Nav::Ok && kept < count; ++kept) at = result.next();
  while (at == Nav::Ok) {
    result.currentRow(row);
    result.remove(row);
    at = result.isEof() ? Nav::Eof : Nav::Ok;
  }
}

}  // namespace keel
