#pragma once

// The WHERE condition of a single-table SELECT answered as a cursor filter:
// conditions on indexed columns come from index key ranges, the rest from
// one read of the candidate records; the rows delivered are exactly those
// the evaluator accepts. The source cursor skips rejected rows by their row
// number, without reading them.

#include <memory>

#include "engine/sql/FilterList.h"
#include "engine/sql/SelectRowFilter.h"

namespace keel {

class TFilterWhere : public TSelectRowFilter {
 public:
  // `condition` is verified against the source table; it is copied when the
  // filter is installed.
  explicit TFilterWhere(const TExpToken& condition, TFilterSettings settings = {});
  ~TFilterWhere() override;

  // The source cursor must outlive this filter.
  void InstallOn(TDataCursor& source) override;

  // The installed filter (level, steps); null before InstallOn.
  const TFilter* Filter() const { return filters_ ? &filters_->at(0) : nullptr; }

 private:
  const TExpToken& condition_;
  TFilterSettings settings_;
  std::unique_ptr<TFilterList> filters_;
};

}  // namespace keel
