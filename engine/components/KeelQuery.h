#pragma once

// A dataset over the result of SQL text: the text as lines, its named
// parameters, and the run of its statements when the query opens. The result
// cursor belongs to the last statement run, which the query keeps prepared
// while it is open; closing releases it with its result table.

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/components/KeelDataSet.h"
#include "engine/components/KeelParams.h"
#include "engine/sql/SelectExecutor.h"
#include "engine/sql/StatementScanner.h"

namespace keel {

// What a run of statements does after one of them failed.
enum class TAbortAction { aaContinue, aaRetry, aaAbort };

class TKeelQuery : public TKeelDataSet {
 public:
  // Offered each failure while a statement of the run is prepared or
  // executed. `action` is aaContinue at the first call of a run and keeps
  // the handler's last answer: aaContinue goes on with the next statement
  // (the failed one gives no result), aaRetry runs the failed statement
  // again, aaAbort ends the run with EAbort. Without a handler the failure
  // propagates.
  using QueryErrorEvent = std::function<void(TKeelQuery&, const std::exception& error, TAbortAction& action)>;
  // The whole-number percentage of source rows visited while a result is
  // generated, as often as the session's ProgressSteps asks; setting `stop`
  // ends the generation with the rows so far.
  using QueryProgressEvent = std::function<void(TKeelQuery&, int percent, bool& stop)>;

  TKeelQuery() = default;
  ~TKeelQuery() override;

  const std::vector<std::string>& SQL() const { return sql_; }
  // Closes the query; with ParamCheck the parameters are collected anew.
  void SetSQL(std::vector<std::string> lines);
  // The lines joined with line breaks.
  std::string Text() const;

  TKeelParams& Params() { return params_; }
  bool ParamCheck = true;
  bool RequestLive = false;
  int MaxRowCount = -1;  // no limit

  QueryErrorEvent OnQueryError;
  QueryProgressEvent OnQueryProgress;

  bool Prepared() const { return executor_ && executor_->Prepared(); }
  // Only a live result, which is the source table's own cursor, can be edited.
  bool CanModify() const override;

 protected:
  void CheckOpenable() const override;
  TDataCursor& OpenCursor(TKeelDatabase& database) override;
  void CloseCursor() override;
  void DatabaseNameChanging() override { CloseCursor(); }

  struct TStatementResult {
    TDataCursor* cursor = nullptr;  // null: the statement yields no result
    bool live = false;              // the cursor is the source table's own
  };
  // Prepares and executes one statement of the run in `folder`, releasing
  // the statement before, with the parameters' values bound to its markers.
  // The result cursor is owned by the prepared statement, which stays until
  // the next one or the close.
  virtual TStatementResult RunStatement(const TScannedStatement& statement, TDataDirectory& folder);

 private:
  // Runs one statement, offering its failures to OnQueryError.
  TStatementResult runOffered(const TScannedStatement& statement, TDataDirectory& folder, TAbortAction& action,
                              bool& offered);
  void collectParams();
  void bindParameters(const TScannedStatement& scanned);

  std::vector<std::string> sql_;
  TKeelParams params_;
  std::unique_ptr<TSelectExecutor> executor_;
  bool live_ = false;
};

}  // namespace keel
