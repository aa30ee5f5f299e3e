#include "engine/sql/SelectEvaluatingFilter.h"

#include <string>
#include <utility>

#include "engine/core/DataCursor.h"

namespace keel {

TSelectEvaluatingFilter::TSelectEvaluatingFilter(TExpToken& condition,
                                                 std::shared_ptr<const TCollation> collation,
                                                 const mindrel::Clock& clock)
    : condition_(condition), evaluator_(std::move(collation), clock) {}

void TSelectEvaluatingFilter::InstallOn(TDataCursor& source) {
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

}  // namespace keel
