#pragma once

// A dataset over the result of SQL text: the text as lines, its named
// parameters, and the run of its statements when the query opens. The result
// cursor belongs to the last statement run, which the query keeps prepared
// while it is open; closing releases it with its result table.

#include <memory>
#include <string>
#include <vector>

#include "engine/components/KeelDataSet.h"
#include "engine/components/KeelParams.h"
#include "engine/sql/SelectExecutor.h"
#include "engine/sql/StatementScanner.h"

namespace keel {

class TKeelQuery : public TKeelDataSet {
 public:
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
  void collectParams();
  void bindParameters(const TScannedStatement& scanned);

  std::vector<std::string> sql_;
  TKeelParams params_;
  std::unique_ptr<TSelectExecutor> executor_;
  bool live_ = false;
};

}  // namespace keel
