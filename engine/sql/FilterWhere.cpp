#include "engine/sql/FilterWhere.h"

#include "engine/core/ByteOrder.h"

namespace keel {

TFilterWhere::TFilterWhere(const TExpToken& condition, TFilterSettings settings)
    : condition_(condition), settings_(settings) {}

TFilterWhere::~TFilterWhere() = default;

void TFilterWhere::InstallOn(TDataCursor& source) {
  watch_.remember(source.table());
  filter_ = std::make_unique<TFilter>(source, condition_, settings_);
  source.setFilter([this, &source](std::span<const uint8_t> row) { return Accepts(source, row); });
}

bool TFilterWhere::Accepts(TDataCursor& source, std::span<const uint8_t> row) {
  if (watch_.changed(source.table())) {
    watch_.remember(source.table());
    filter_->compute();
  }
  // An active row's link is its own physical number.
  return filter_->bitmap().test(LoadI32(row.data() + kRowLinkAt));
}

}  // namespace keel
