#pragma once

// One statement of a query component's SQL text, prepared: its kind and
// label recognised from the first keyword(s), and for a SELECT the parsed and
// name-resolved TDataQuery. Statements of other kinds are recognised and
// recorded only; execution refuses them.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sql/DataQuery.h"
#include "engine/sql/ExpressionParser.h"
#include "engine/sql/SourceColumns.h"

namespace keel {

class TQueryStatement {
 public:
  // `sources` supplies the columns of the tables a SELECT names and must
  // outlive the statement; `dataExtension` is cut from table names.
  explicit TQueryStatement(TSourceColumns& sources, std::string dataExtension = ".dat");

  // Parses and resolves one statement. `firstLine` and `firstColumn` are
  // where its first character stands in the component's whole text, so
  // every message points into the text the user wrote. Raises 11949 with
  // the parse messages, or the engine error of a table that cannot be
  // opened; after a failure the statement is released.
  void PrepareStatement(std::string_view text, int firstLine, int firstColumn);
  void Release();

  bool Prepared() const { return kind_ != TStatementKind::None; }
  TStatementKind Kind() const { return kind_; }
  // "SELECT SQL statement", "CREATE TABLE SQL statement", ...
  const std::string& Label() const { return parser_.Errors().Label(); }
  // The error code and label for the messages of later stages.
  const TExpressionErrors& Errors() const { return parser_.Errors(); }
  // The parsed SELECT; null for other kinds.
  TDataQuery* Query() const { return query_.get(); }
  // The "?" placeholders in text order; their values are set before each run.
  const std::vector<TExpToken*>& Parameters() const { return parameters_; }
  // For a SELECT the name of its first table.
  const std::string& TableName() const { return tableName_; }

 private:
  void RecogniseKind();
  void SetLabel(std::string_view keywords);

  TSourceColumns& sources_;
  std::string dataExtension_;
  TExpressionParser parser_;
  std::vector<TExpToken*> parameters_;
  std::unique_ptr<TDataQuery> query_;
  TStatementKind kind_ = TStatementKind::None;
  std::string tableName_;
};

}  // namespace keel
