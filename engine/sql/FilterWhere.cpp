#include "engine/sql/FilterWhere.h"

namespace keel {

TFilterWhere::TFilterWhere(const TExpToken& condition, TFilterSettings settings)
    : condition_(condition), settings_(settings) {}

TFilterWhere::~TFilterWhere() = default;

void TFilterWhere::InstallOn(TDataCursor& source) {
  filters_.reset();
  filters_ = std::make_unique<TFilterList>(source, settings_);
  filters_->add(condition_);
}

}  // namespace keel
