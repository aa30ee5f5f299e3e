#pragma once

// The filters of one cursor (at most 64) and their combined bitmap, the
// intersection of the active filters' bitmaps. The list installs itself as
// the cursor's row filter, so every move of the cursor, in physical or index
// order, skips the records whose bit is clear.
//
// When the table changed since the bitmaps were computed (another cursor or
// session wrote), they are computed again before the next record is judged.
//
// The cursor must outlive the list.

#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "engine/sql/Filter.h"
#include "engine/sql/FilterChangeWatch.h"

namespace keel {

class TFilterList {
 public:
  static constexpr size_t kMaxFilters = 64;

  explicit TFilterList(TDataCursor& cursor, TFilterSettings settings = {});
  ~TFilterList();
  TFilterList(const TFilterList&) = delete;
  TFilterList& operator=(const TFilterList&) = delete;

  // Adds a filter and repositions the cursor; a 65th raises 9482 and leaves
  // the others as they were.
  TFilter& add(std::string_view text, TFilterOptions options = {});
  TFilter& add(const TExpToken& verified);
  TFilter& add(TFilter::Callback callback);
  // 10050 when `filter` is not one of this list's.
  void remove(const TFilter& filter);
  void removeAll();
  void setActive(const TFilter& filter, bool active);

  size_t size() const { return filters_.size(); }
  TFilter& at(size_t i) { return *filters_.at(i); }

  // Recomputes every bitmap (after changes by others).
  void refresh();
  // Records that pass every active filter.
  int64_t recordCount();
  const TRecordsBitmap& combined() const { return combined_; }

 private:
  TFilter& adopt(std::unique_ptr<TFilter> filter);
  void checkRoom() const;
  TFilter& find(const TFilter& filter) const;
  void recompute();
  void combine();
  void install();
  bool accepts(std::span<const uint8_t> row);

  TDataCursor& cursor_;
  TFilterSettings settings_;
  std::vector<std::unique_ptr<TFilter>> filters_;
  TRecordsBitmap combined_;
  bool anyActive_ = false;
  TFilterChangeWatch watch_;
};

}  // namespace keel
