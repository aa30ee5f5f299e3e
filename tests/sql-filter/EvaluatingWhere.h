#pragma once

// The reference the optimised WHERE is checked against: the condition
// evaluated for each row the source cursor reaches, with no index and no
// bitmap involved.

#include <memory>
#include <string>
#include <utility>

#include "engine/core/DataCursor.h"
#include "engine/sql/ExpressionEvaluator.h"
#include "engine/sql/RowBufferAccessor.h"
#include "engine/sql/SelectRowFilter.h"

namespace keel::testing {

class TEvaluatingWhere : public TSelectRowFilter {
 public:
  // `condition` is verified against the source table and must outlive this.
  TEvaluatingWhere(TExpToken& condition, std::shared_ptr<const TCollation> collation, const mindrel::Clock& clock)
      : condition_(condition), evaluator_(std::move(collation), clock) {}

  void InstallOn(TDataCursor& source, Reading) override {
    auto blobs = [&source](const FieldDescriptor& field, std::span<const uint8_t> row) {
      std::vector<uint8_t> value = source.blobValue(row, field);
      return std::string(value.begin(), value.end());
    };
    rows_ = std::make_unique<TRowBufferAccessor>(source.fields(), blobs);
    evaluator_.SetRowAccessor(rows_.get());
    source.setFilter([this](std::span<const uint8_t> row) {
      rows_->SetRow(row);
      return evaluator_.Passes(condition_);
    });
  }

 private:
  TExpToken& condition_;
  TExpressionEvaluator evaluator_;
  std::unique_ptr<TRowBufferAccessor> rows_;
};

}  // namespace keel::testing
