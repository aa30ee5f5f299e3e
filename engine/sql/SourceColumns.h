#pragma once

// What name resolution needs to know of a statement's source tables: their
// columns. Backed by the tables' open cursors when a statement is prepared
// against a database folder; tests supply the columns directly.

#include <string>
#include <vector>

namespace keel {

struct TSourceTable;

struct TSourceColumn {
  std::string Name;     // as the table defines it
  int FieldNumber = 0;  // 1-based
};

class TSourceColumns {
 public:
  virtual ~TSourceColumns() = default;
  // The columns of `table` in table order, without the hidden RecordID and
  // RecordHash (every table has those). Raises the engine error of a table
  // that cannot be opened.
  virtual std::vector<TSourceColumn> ColumnsOf(const TSourceTable& table) = 0;
};

}  // namespace keel
