#pragma once

// Resolves the names of a parsed SELECT against its source tables' columns:
// every column reference gets its table (SourceNumber) and field number, "*"
// and "name.*" become one result column per table column, and each ORDER BY
// item gets its result column. Names and qualifiers compare without regard
// to case; an unqualified name belongs to the first table in FROM order that
// has it. "RecordID" and "RecordHash" name the hidden columns of every table.

#include <string>
#include <vector>

#include "engine/sql/DataQuery.h"
#include "engine/sql/ExpressionErrors.h"
#include "engine/sql/SourceColumns.h"

namespace keel {

class TNameResolver {
 public:
  // Messages go through `errors` (the statement's label and error code).
  TNameResolver(TSourceColumns& sources, const TExpressionErrors& errors);

  // Resolves `query`, its set-operation members and its sub-queries, each
  // against its own FROM list.
  void Resolve(TDataQuery& query);

 private:
  struct TTableColumns {
    const TSourceTable* Table;
    std::vector<TSourceColumn> Columns;
  };
  struct TFound {
    const TTableColumns* Table = nullptr;
    TSourceColumn Column;
  };

  void ResolveQuery(TDataQuery& query);
  void ExpandResultFields(TDataQuery& query);
  void AddTableColumns(std::vector<TResultField>& fields, const TTableColumns& table, const TExpToken& star);
  void ResolvePlainField(TResultField& field);
  void ResolveTree(TExpToken* node);
  void ResolveOrderBy(TDataQuery& query);
  int OrderByColumn(const TDataQuery& query, const TOrderByField& item) const;

  const TTableColumns* TableNamed(const std::string& correlationName) const;
  // The column, or nothing when `node` resolves to no column.
  TFound Find(const TExpToken& node) const;
  // Expected message for "column name" quoting `node` as written.
  [[noreturn]] void RaiseUnknown(const TExpToken& node) const;

  TSourceColumns& sources_;
  const TExpressionErrors& errors_;
  std::vector<TTableColumns> tables_;  // of the query being resolved
};

}  // namespace keel
