#pragma once

// The columns of a canned SELECT result and the filling of one result row
// from one source row: a plain column copies the stored value with its null
// state (BLOB contents are read and written again), an expression column is
// evaluated for the source row and stored in the type the verifier gave it.

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/core/DataCursor.h"
#include "engine/sql/DataQuery.h"
#include "engine/sql/ExpressionErrors.h"
#include "engine/sql/ExpressionEvaluator.h"
#include "engine/sql/RowBufferAccessor.h"

namespace keel {

class TResultRowBuilder {
 public:
  static constexpr uint32_t kMaxFieldSize = 512;

  // `query` is resolved and verified, with one source table read through
  // `source`; both must outlive the builder. Raises the plain parse message
  // for an expression column whose values can be longer than 512.
  TResultRowBuilder(TDataQuery& query, TDataCursor& source, const TExpressionErrors& errors,
                    const mindrel::Clock& clock);

  // The result table's fields in select-list order, named after the result
  // columns; names the table format cannot hold twice, or at all, are made
  // unique and cut to its name limit.
  const std::vector<FieldDescriptor>& Columns() const { return columns_; }

  // Fills `row`, a new row of `result`, from the source's `sourceRow`.
  void Fill(std::span<const uint8_t> sourceRow, const std::vector<FieldDescriptor>& resultFields,
            std::span<uint8_t> row, TDataCursor::BlobValues& blobs);

 private:
  FieldDescriptor PlainColumn(const TResultField& field) const;
  FieldDescriptor ExpressionColumn(const TResultField& field, const TExpressionErrors& errors) const;
  void NameColumns();
  void StoreValue(TExpToken& value, const FieldDescriptor& target, std::span<uint8_t> row) const;

  TDataQuery& query_;
  TDataCursor& source_;
  uint32_t locale_;
  std::vector<FieldDescriptor> columns_;
  std::unique_ptr<TRowBufferAccessor> rows_;
  TExpressionEvaluator evaluator_;
};

}  // namespace keel
