#include "engine/sql/FilterList.h"

#include <algorithm>

#include "engine/core/ByteOrder.h"

namespace keel {

TFilterList::TFilterList(TDataCursor& cursor, TFilterSettings settings)
    : cursor_(cursor), settings_(settings) {}

TFilterList::~TFilterList() {
  cursor_.setFilter({});
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
  watch_.remember(cursor_.table());
  for (auto& filter : filters_) filter->compute();
  combine();
}

int64_t TFilterList::recordCount() {
  if (watch_.changed(cursor_.table())) recompute();
  if (!anyActive_) return cursor_.recordCount();
  return combined_.count();
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
}

void TFilterList::install() {
  if (!anyActive_) {
    cursor_.setFilter({});
    return;
  }
  cursor_.setFilter([this](std::span<const uint8_t> row) { return accepts(row); });
}

bool TFilterList::accepts(std::span<const uint8_t> row) {
  if (watch_.changed(cursor_.table())) recompute();
  // An active row's link is its own physical number.
  return combined_.test(LoadI32(row.data() + kRowLinkAt));
}

}  // namespace keel
