#pragma once

// Small stand-ins for the family-tree tables and a way to catch one parse
// failure with its message and position.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/core/ErrorCodes.h"
#include "engine/core/TextCase.h"
#include "engine/sql/DataQuery.h"
#include "engine/sql/QueryStatement.h"
#include "engine/sql/SourceColumns.h"

namespace keel::testing {

// Columns of People and Families as far as the statements below need them.
class TFakeTables : public TSourceColumns {
 public:
  TFakeTables() {
    Add("People", {"Code", "Surname", "FirstNames", "Dead", "Description", "Search date~B", "Search date~J",
                   "Search date~D", "Birth date~B", "Birth date~J", "Birth date~D"});
    Add("Families", {"Code", "Fathers name", "Mothers name", "Marriage date~B", "Marriage date~J",
                     "Marriage date~D", "My Custom date~J"});
  }

  void Add(const std::string& table, const std::vector<std::string>& names) {
    std::vector<TSourceColumn> columns;
    for (size_t i = 0; i < names.size(); ++i) columns.push_back({names[i], static_cast<int>(i) + 1});
    tables_[UpperCase(table, 0)] = std::move(columns);
  }

  // An unknown table fails like a missing table file.
  std::vector<TSourceColumn> ColumnsOf(const TSourceTable& table) override {
    auto found = tables_.find(UpperCase(table.TableName, 0));
    if (found == tables_.end()) raise(ErrorCode::KEEL_OSENOENT, {.table = table.TableName});
    return found->second;
  }

  // 1-based field number of a column of the fixture.
  int FieldOf(const std::string& table, const std::string& column) {
    const auto& columns = tables_.at(UpperCase(table, 0));
    for (const auto& c : columns) {
      if (c.Name == column) return c.FieldNumber;
    }
    ADD_FAILURE() << "no column " << column;
    return 0;
  }

  std::vector<std::string> NamesOf(const std::string& table) {
    std::vector<std::string> names;
    for (const auto& c : tables_.at(UpperCase(table, 0))) names.push_back(c.Name);
    return names;
  }

 private:
  std::map<std::string, std::vector<TSourceColumn>> tables_;
};

struct TFailure {
  ErrorCode Code = ErrorCode::KEEL_NONE;
  std::string Message;  // the parse message without "SQL parsing error - " and the position
  int Line = 0;
  int Column = 0;
  std::string What;
};

inline TFailure FailureOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EKeelEngineError& error) {
    return {error.code(), error.context().extra, error.line(), error.column(), error.what()};
  }
  ADD_FAILURE() << "no engine error was raised";
  return {};
}

inline std::vector<std::string> ResultNames(const TDataQuery& query) {
  std::vector<std::string> names;
  for (const auto& field : query.ResultFields) names.push_back(field.Name);
  return names;
}

}  // namespace keel::testing
