#pragma once

// The WHERE condition of a single-table SELECT answered as a cursor filter:
// conditions on indexed columns come from index key ranges, the rest from
// one read of the candidate records; the rows delivered are exactly those
// the evaluator accepts. A drop-in for the record-by-record strategy.

#include <memory>

#include "engine/sql/Filter.h"
#include "engine/sql/FilterChangeWatch.h"
#include "engine/sql/SelectRowFilter.h"

namespace keel {

class TFilterWhere : public TSelectRowFilter {
 public:
  // `condition` is verified against the source table; it is copied when the
  // filter is installed.
  explicit TFilterWhere(const TExpToken& condition, TFilterSettings settings = {});
  ~TFilterWhere() override;

  void InstallOn(TDataCursor& source) override;

  // The installed filter (level, steps); null before InstallOn.
  const TFilter* Filter() const { return filter_.get(); }

 private:
  bool Accepts(TDataCursor& source, std::span<const uint8_t> row);

  const TExpToken& condition_;
  TFilterSettings settings_;
  std::unique_ptr<TFilter> filter_;
  TFilterChangeWatch watch_;
};

}  // namespace keel
