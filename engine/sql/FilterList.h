#pragma once

// The filters of one cursor (at most 64) and their combined bitmap, the
// intersection of the active filters' bitmaps. The list installs itself as
// the cursor's row-number filter, so every move of the cursor, in physical
// or index order, skips the records whose bit is clear without reading them.
// When the matching records are at most the filter index threshold (percent
// of the table's records), the cursor in index order navigates over their
// keys instead of walking the index.
//
// When the table changed since the bitmaps were computed (another cursor or
// session wrote), they are computed again before the cursor's next
// operation.
//
// The cursor must outlive the list.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/sql/Filter.h"
#include "engine/sql/FilterChangeWatch.h"

namespace keel {

class TFilterList : public TRowNumberFilter {
 public:
  static constexpr size_t kMaxFilters = 64;

  explicit TFilterList(TDataCursor& cursor, TFilterSettings settings = {});
  ~TFilterList() override;
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
  // The cursor's record count: the records that pass every active filter
  // (within the cursor's range), or the table's total when the engine's
  // FilterRecordCounts is off.
  int64_t recordCount();
  const TRecordsBitmap& combined() const { return combined_; }

  // TRowNumberFilter, for the cursor.
  void sync() override;
  bool accepts(int64_t row) const override { return combined_.test(row); }
  int64_t count() const override { return combined_.count(); }
  const std::vector<int64_t>* listed() override;
  uint64_t generation() const override { return generation_; }

 private:
  TFilter& adopt(std::unique_ptr<TFilter> filter);
  void checkRoom() const;
  TFilter& find(const TFilter& filter) const;
  void recompute();
  void combine();
  void install();

  TDataCursor& cursor_;
  TFilterSettings settings_;
  std::vector<std::unique_ptr<TFilter>> filters_;
  TRecordsBitmap combined_;
  bool anyActive_ = false;
  TFilterChangeWatch watch_;
  // A computation reads records, which may ask the cursor (BLOB values):
  // the filter list must not start another one meanwhile.
  bool computing_ = false;
  uint64_t generation_ = 1;
  std::vector<int64_t> listed_;
  uint64_t listedGeneration_ = 0;
};

}  // namespace keel
