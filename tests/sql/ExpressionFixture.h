#pragma once

// A small in-memory table for expression tests: it resolves column names the
// way a SELECT over one table aliased "P" does, and serves the current row.

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "engine/core/Collation.h"
#include "engine/core/ErrorCodes.h"
#include "engine/sql/BuiltinFunctions.h"
#include "engine/sql/ColumnResolver.h"
#include "engine/sql/ExpTypes.h"
#include "engine/sql/ExpressionEvaluator.h"
#include "engine/sql/ExpressionParser.h"
#include "engine/sql/ExpressionVerifier.h"
#include "engine/sql/RowAccessor.h"

namespace keel::testing {

using Cell = std::optional<std::variant<int64_t, double, std::string>>;

struct TestColumn {
  std::string Name;
  FieldType Type;
  FieldSubtype Subtype = FieldSubtype::None;
  uint32_t Size = 0;
};

class TestTable : public TColumnResolver, public TRowAccessor {
 public:
  explicit TestTable(std::vector<TestColumn> columns) : columns_(std::move(columns)), row_(columns_.size()) {}

  // Sets one cell of the current row; std::nullopt is NULL.
  void Set(const std::string& name, Cell value) { row_[IndexOf(name)] = std::move(value); }
  void ClearRow() { row_.assign(columns_.size(), std::nullopt); }

  bool ResolveColumn(TExpToken& column) override {
    if (!column.Qualifier.empty() && !SameKeyword(column.Qualifier, "P")) return false;
    for (size_t i = 0; i < columns_.size(); ++i) {
      if (SameKeyword(columns_[i].Name, column.ColumnName)) {
        column.Type = columns_[i].Type;
        column.Subtype = columns_[i].Subtype;
        column.Size = columns_[i].Size != 0 ? columns_[i].Size : StoredLength(columns_[i].Type, columns_[i].Subtype, 0);
        column.FieldNumber = static_cast<int>(i) + 1;
        column.SourceNumber = 1;
        return true;
      }
    }
    return false;
  }

  void ReadColumn(TExpToken& column) const override {
    const Cell& cell = row_[static_cast<size_t>(column.FieldNumber - 1)];
    column.ClearValue();
    if (!cell) return;
    column.Null = false;
    if (auto* text = std::get_if<std::string>(&*cell)) column.Str = *text;
    if (auto* whole = std::get_if<int64_t>(&*cell)) column.Int = *whole;
    if (auto* real = std::get_if<double>(&*cell)) column.Real = *real;
  }

 private:
  size_t IndexOf(const std::string& name) const {
    for (size_t i = 0; i < columns_.size(); ++i) {
      if (SameKeyword(columns_[i].Name, name)) return i;
    }
    throw std::invalid_argument("no column " + name);
  }

  std::vector<TestColumn> columns_;
  std::vector<Cell> row_;
};

// The engine error a call raised, or an empty one (code KEEL_NONE).
struct RaisedError {
  ErrorCode Code = ErrorCode::KEEL_NONE;
  std::string Extra;
  int Line = 0;
  int Column = 0;
  std::string What;
};

inline RaisedError ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const EKeelEngineError& error) {
    return {error.code(), error.context().extra, error.line(), error.column(), error.what()};
  }
  return {};
}

// The tree in prefix form: "(AND (= a 1) (IS NULL b))"; constants and
// columns by their text, functions by name.
inline std::string Shape(const TExpToken& node) {
  std::string out;
  switch (node.Kind) {
    case TNodeKind::Constant: return node.IsNullConstant() ? "NULL" : node.Text;
    case TNodeKind::Column: return node.Text;
    case TNodeKind::Function: out = "(" + node.FunctionName; break;
    default: out = "(" + node.Text; break;
  }
  if (node.Left) out += " " + Shape(*node.Left);
  if (node.Right) out += " " + Shape(*node.Right);
  for (const auto& argument : node.Arguments) out += " " + Shape(*argument);
  return out + ")";
}

}  // namespace keel::testing

namespace keel::testing {

// The columns of a family-tree table as far as the expression tests need them.
inline std::vector<TestColumn> PeopleColumns() {
  return {
      {"Dead", FieldType::Boolean},
      {"Search date~J", FieldType::Integer},
      {"Name", FieldType::String, FieldSubtype::None, 21},
      {"Nick", FieldType::String, FieldSubtype::None, 21},
      {"Born", FieldType::Date},
      {"Age", FieldType::Integer},
      {"Big", FieldType::LargeInt},
      {"Weight", FieldType::Float},
      {"Notes", FieldType::Blob, FieldSubtype::Memo},
      {"At", FieldType::Time},
      {"Stamp", FieldType::Timestamp},
      {"Code", FieldType::Bytes, FieldSubtype::None, 4},
  };
}

// Parses (SQL WHERE rules), verifies against `table` and returns the tree.
inline std::unique_ptr<TExpToken> Verified(const std::string& text, TestTable& table,
                                           TExpContext context = WhereContext) {
  TExpressionParser parser;
  parser.Load(text);
  auto tree = parser.ParseWholeText(context);
  TExpressionVerifier verifier(parser.Errors(), table);
  verifier.Verify(*tree, context);
  return tree;
}

}  // namespace keel::testing
