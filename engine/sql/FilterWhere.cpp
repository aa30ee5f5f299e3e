#include "engine/sql/FilterWhere.h"

namespace keel {

TFilterWhere::TFilterWhere(const TExpToken& condition, TFilterSettings settings)
    : condition_(condition), settings_(settings) {}

TFilterWhere::~TFilterWhere() { Uninstall(); }

void TFilterWhere::Uninstall() {
  filters_.reset();
  if (judged_ != nullptr) {
    try {
      judged_->setFilter({});
    } catch (...) {
      // Repositioning the cursor failed; the judge is gone from it all the same.
    }
  }
  judged_ = nullptr;
  judge_.reset();
}

void TFilterWhere::InstallOn(TDataCursor& source, Reading reading) {
  Uninstall();
  if (reading == Reading::OnceInPhysicalOrder) {
    auto judge = std::make_unique<TFilter>(source, condition_, settings_, TFilter::Computation::OnDemand);
    // Once a quarter of the records or more must be read to judge them, all
    // of them come in the same long reads anyway.
    if (judge->candidates() * 4 >= source.table().data().physicalRowCount()) {
      judge_ = std::move(judge);
      judged_ = &source;
      source.setFilter([judge = judge_.get()](std::span<const uint8_t> row) { return judge->passes(row); });
      return;
    }
  }
  filters_ = std::make_unique<TFilterList>(source, settings_);
  filters_->add(condition_);
}

const TFilter* TFilterWhere::Filter() const {
  if (judge_) return judge_.get();
  return filters_ ? &filters_->at(0) : nullptr;
}

}  // namespace keel
