#include "engine/sql/FilterList.h"

#include <algorithm>

namespace keel {

TFilterList::TFilterList(TDataCursor& cursor, TFilterSettings settings)
    : cursor_(cursor), settings_(settings) {}

TFilterList::~TFilterList() {
  try {
    cursor_.setRowNumberFilter(nullptr);
  } catch (...) {
    // Repositioning the cursor failed; it is uninstalled all the same.
  }
}

void TFilterList::checkRoom() const {
  if (filters_.size() >= kMaxFilters) raise(ErrorCode::KEEL_INTERNALLIMIT, {.table = cursor_.table().name()});
}

TFilter& TFilterList::add(std::string_view text, TFilterOptions options) {
  checkRoom();
  return adopt(std::make_unique<TFilter>(cursor_, text, options, settings_));
}

TFilter& TFilterList::add(const TExpToken& verified) {
  checkRoom();
  return adopt(std::make_unique<TFilter>(cursor_, verified, settings_));
}

TFilter& TFilterList::add(TFilter::Callback callback) {
  checkRoom();
  return adopt(std::make_unique<TFilter>(cursor_, std::move(callback), settings_));
}

TFilter& TFilterList::adopt(std::unique_ptr<TFilter> filter) {
  // The filter computed its bitmap while being made.
  filters_.push_back(std::move(filter));
  watch_.remember(cursor_.table());
  combine();
  install();
  return *filters_.back();
}

TFilter& TFilterList::find(const TFilter& filter) const {
  for (const auto& owned : filters_) {
    if (owned.get() == &filter) return *owned;
  }
  raise(ErrorCode::KEEL_NOSUCHFILTER, {.table = cursor_.table().name()});
}

void TFilterList::remove(const TFilter& filter) {
  find(filter);
  std::erase_if(filters_, [&](const auto& owned) { return owned.get() == &filter; });
  combine();
  install();
}

void TFilterList::removeAll() {
  filters_.clear();
  combine();
  install();
}

void TFilterList::setActive(const TFilter& filter, bool active) {
  find(filter).setActive(active);
  combine();
  install();
}

void TFilterList::refresh() {
  recompute();
  install();
}

void TFilterList::recompute() {
  computing_ = true;
  try {
    watch_.remember(cursor_.table());
    for (auto& filter : filters_) filter->compute();
  } catch (...) {
    computing_ = false;
    throw;
  }
  computing_ = false;
  combine();
}

int64_t TFilterList::recordCount() {
  return cursor_.recordCount();
}

void TFilterList::sync() {
  if (!computing_ && watch_.changed(cursor_.table())) recompute();
}

const std::vector<int64_t>* TFilterList::listed() {
  const int64_t records = cursor_.table().data().header().activeRowCount;
  if (combined_.count() * 100 > settings_.filterIndexThreshhold(cursor_) * records) return nullptr;
  if (listedGeneration_ != generation_) {
    listed_.clear();
    for (int64_t k = combined_.nextSet(1); k != 0; k = combined_.nextSet(k + 1)) listed_.push_back(k);
    listedGeneration_ = generation_;
  }
  return &listed_;
}

void TFilterList::combine() {
  anyActive_ = false;
  for (const auto& filter : filters_) {
    if (!filter->active()) continue;
    if (!anyActive_) {
      combined_ = filter->bitmap();
      anyActive_ = true;
    } else {
      combined_.intersect(filter->bitmap());
    }
  }
  if (!anyActive_) combined_ = TRecordsBitmap();
  ++generation_;
}

void TFilterList::install() {
  cursor_.setRowNumberFilter(anyActive_ ? this : nullptr);
}

}  // namespace keel
