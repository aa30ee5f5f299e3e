#pragma once

// A parsed SELECT: its select list, source tables, WHERE condition, ORDER BY
// list and options, as the statement layer parses and name-resolves it and
// execution consumes it. The same structure holds sub-queries and the members
// of UNION / INTERSECT / EXCEPT. Clauses outside the executable subset are
// recorded rather than refused, so that execution can name them in its
// message (OutsideSubset).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/sql/ExpToken.h"
#include "engine/sql/SubQuery.h"

namespace keel {

// Decided by the first keyword(s) of a statement.
enum class TStatementKind : uint8_t {
  None = 0,
  Select = 1,
  Insert = 2,
  Update = 3,
  Delete = 4,
  CreateTable = 5,
  AlterTable = 6,
  EmptyTable = 7,
  OptimizeTable = 8,
  ExportTable = 9,
  ImportTable = 10,
  VerifyTable = 11,
  RepairTable = 12,
  UpgradeTable = 13,
  DropTable = 14,
  RenameTable = 15,
  CreateIndex = 16,
  DropIndex = 17,
  StartTransaction = 18,
  Rollback = 19,
  Commit = 20,
};

// How a source table joins the tables before it; the first table has None.
enum class TJoinKind : uint8_t { None, Comma, Inner, LeftOuter, RightOuter };

enum class TSetOperation : uint8_t { None, Union, Intersect, Except };

// Field numbers of the hidden columns every table has.
inline constexpr int kRecordIdField = -1;
inline constexpr int kRecordHashField = -2;

struct TSourceTable {
  std::string TableName;        // file name part, without the data extension
  std::string Folder;           // empty: the statement's database folder
  std::string CorrelationName;  // the alias, else the table name
  bool Exclusive = false;
  int Number = 0;  // 1-based, FROM order
  int Line = 0;    // of the table name, for messages
  int Column = 0;
  TJoinKind Join = TJoinKind::None;
  std::unique_ptr<TExpToken> JoinCondition;  // "ON" of a joined table
};

struct TResultField {
  std::unique_ptr<TExpToken> Expression;
  std::string Text;   // the item as written
  std::string Alias;  // empty when none was written
  // The alias, else the source column's name for a plain column, else the text.
  std::string Name;
  // Plain column references only: where the value comes from.
  std::string CorrelationName;
  std::string SourceColumnName;  // as the table defines it
  int FieldNumber = 0;           // in its source table; kRecordIdField, kRecordHashField
  int SourceNumber = 0;          // TSourceTable::Number
  bool IsExpression = false;
  int ResultFieldNumber = 0;  // 1-based
};

struct TOrderByField {
  std::unique_ptr<TExpToken> Primary;  // a column reference or an integer constant
  std::string Text;
  bool Descending = false;
  int ResultColumn = 0;  // 1-based, set by name resolution
};

class TDataQuery final : public TSubQuery {
 public:
  TStatementKind Kind = TStatementKind::Select;
  bool Parenthesised = false;
  bool Distinct = false;
  // One entry per select item after parsing; name resolution expands "*" and
  // "name.*" so that there is one entry per result column.
  std::vector<TResultField> ResultFields;
  std::vector<TSourceTable> SourceTables;
  std::unique_ptr<TExpToken> Where;
  std::vector<std::unique_ptr<TExpToken>> GroupBy;
  std::unique_ptr<TExpToken> Having;
  std::vector<TOrderByField> OrderBy;
  bool OrderByNoCase = false;
  int TopCount = -1;
  std::string Into;
  std::string Locale;  // as written after "LOCALE"; empty: the first table's
  bool Encrypted = false;
  std::string EncryptionPassword;
  bool NoJoinOptimize = false;
  bool JoinOptimizeCosts = false;
  TSetOperation SetOperation = TSetOperation::None;
  bool SetOperationAll = false;
  std::unique_ptr<TDataQuery> NextMember;  // the SELECT after the set operator
  // Statements of "IN (SELECT ...)" in this query's expressions.
  std::vector<std::shared_ptr<TDataQuery>> SubQueries;
  std::string StatementText;  // as parsed, for plans

  bool SeveralTables() const { return SourceTables.size() > 1; }

  // The first construct that execution does not support ("DISTINCT", "JOIN",
  // "GROUP BY", ...), empty when the query lies within the subset.
  std::string OutsideSubset() const;

  // Sub-queries lie outside the executable subset; execution refuses a
  // statement that holds one before any row is read, so reaching this is a
  // fault that is reported instead of answered wrongly.
  bool ReturnsRowFor(const TExpToken& subject) override;
};

}  // namespace keel
