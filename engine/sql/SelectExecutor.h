#pragma once

// Runs SELECT statements against one database folder: prepares a statement
// (parsing, name resolution over the opened source tables, typing of the
// select list and WHERE condition, the checks of the subset), executes it
// into its result cursor, and releases it with everything it opened.
//
// The result is canned (a temporary table of copied rows in the requested
// order, see TResultTable) unless a live result was requested and the
// statement allows one; then it is the source table's own cursor with the
// WHERE condition installed as its filter.
//
// Failures raise engine errors: 11949 for the statement's text, 11950 for
// execution (also for clauses outside the executable subset), the core's
// errors for tables that cannot be opened or created. After a failure
// nothing stays open and no result files remain.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/DataCursor.h"
#include "engine/sql/CursorSourceColumns.h"
#include "engine/sql/QueryStatement.h"
#include "engine/sql/ResultRowBuilder.h"
#include "engine/sql/ResultTable.h"
#include "engine/sql/SelectRowFilter.h"
#include "platform/Clock.h"

namespace keel {

struct TSelectSettings {
  std::string PrivateDir;    // the session's folder for result tables; empty: the current folder
  bool RequestLive = false;  // a live result when the statement allows one
  int MaxRowCount = -1;      // 0 or more: at most that many result rows
  int ProgressSteps = 20;    // of the session; 0 reports every whole 100 percent
  // Called with the percentage of source rows visited; setting `stop` ends
  // the generation, the rows so far forming the result.
  std::function<void(int percent, bool& stop)> OnQueryProgress;
};

class TSelectExecutor {
 public:
  // `database` is the statement's folder and must outlive the executor.
  TSelectExecutor(TDataDirectory& database, TSelectSettings settings,
                  const mindrel::Clock& clock = mindrel::SystemClock::instance());
  ~TSelectExecutor();
  TSelectExecutor(const TSelectExecutor&) = delete;
  TSelectExecutor& operator=(const TSelectExecutor&) = delete;

  TSelectSettings& Settings() { return settings_; }

  // Prepares one statement; `firstLine` and `firstColumn` place it in the
  // text the user wrote. Kinds other than SELECT are recognised and kept
  // for Execute to refuse. A failure releases the statement.
  void Prepare(std::string_view text, int firstLine = 1, int firstColumn = 1);
  bool Prepared() const { return statement_ && statement_->Prepared(); }
  // The prepared statement: its kind, label and "?" parameters, whose values
  // are set before Execute.
  TQueryStatement& Statement() { return *statement_; }

  // Executes the prepared SELECT and answers its result cursor, positioned
  // on the first row. The cursor belongs to the executor until the next
  // Execute, Prepare or Release. A failure releases the result built so far.
  // `planWanted`: Plan() describes afterwards how the statement was answered.
  TDataCursor& Execute(bool planWanted = false);

  bool Live() const { return live_; }
  // The plan of the last Execute when one was wanted: descriptive lines for
  // people, not for parsing.
  const std::vector<std::string>& Plan() const { return plan_; }
  int64_t RowsAffected() const { return rowsAffected_; }
  // The canned result's table; null for a live result or before Execute.
  const TResultTable* ResultTable() const { return result_.get(); }

  // Closes the result table (its files are deleted) and the source tables.
  void Release();

 private:
  void VerifyQuery(TDataQuery& query);
  void CheckSubset(const TDataQuery& query) const;
  bool AllowsLive(const TDataQuery& query) const;
  int MatchingIndex(const TDataQuery& query, TDataCursor& source) const;
  TResultTableDefinition CannedDefinition(const TDataQuery& query, TDataCursor& source) const;
  TDataCursor& ExecuteLive(TDataQuery& query, TDataCursor& source);
  TDataCursor& ExecuteCanned(TDataQuery& query, TDataCursor& source);
  // `ordered`: the result has an ORDER BY; its rows are appended in that order.
  void GenerateRows(TDataCursor& source, TDataCursor& result, int64_t limit, bool ordered);
  void KeepTop(TDataCursor& result, int count) const;
  void ReleaseResult();
  void DescribePlan(const TDataQuery& query, TDataCursor& source);

  TDataDirectory& database_;
  TSelectSettings settings_;
  const mindrel::Clock& clock_;
  std::unique_ptr<TCursorSourceColumns> sources_;
  std::unique_ptr<TQueryStatement> statement_;
  std::unique_ptr<TSelectRowFilter> filter_;
  std::unique_ptr<TResultRowBuilder> builder_;
  std::unique_ptr<TResultTable> result_;
  bool live_ = false;
  int64_t rowsAffected_ = 0;
  std::vector<std::string> plan_;
};

}  // namespace keel
