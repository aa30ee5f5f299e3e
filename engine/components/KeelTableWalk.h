#pragma once

// Reads every row of an open dataset's table once, in the order the rows lie
// in its data file, without moving the dataset: the quick way through a
// whole table for a caller that needs all of its rows in no particular
// order (an index walk reads the rows where the index sends it). The
// dataset's filter and range do not apply. The table read lock is held
// across runs of rows and let go now and then, as a read batch does, so
// writers of other programs get their turn. The dataset must stay open while
// the walk lives.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/DataCursor.h"
#include "engine/sql/FilterReadScope.h"

namespace keel {

class TKeelDataSet;

class TKeelTableWalk {
 public:
  explicit TKeelTableWalk(TKeelDataSet& dataSet);

  // The column of that name, without regard to case; nullptr when the table
  // has none.
  const FieldDescriptor* Field(const std::string& name) const;

  // Moves to the next row (the first at the first call); false after the last.
  bool Next();

  // REQUIRES: Next() returned true
  bool IsNull(const FieldDescriptor& field) const;
  // An integer or Boolean column's value; nothing for a null or another type.
  std::optional<int64_t> Integer(const FieldDescriptor& field) const;
  // A string column's text as stored, in the table's code page; empty for a null.
  std::string Text(const FieldDescriptor& field) const;
  // The stored bytes of a column; empty for a null.
  std::span<const uint8_t> Bytes(const FieldDescriptor& field) const;

 private:
  TDataCursor cursor_;
  TFilterReadScope read_;
  std::vector<uint8_t> row_;
  bool started_ = false;
  int steps_ = 0;
};

}  // namespace keel
