#pragma once

// The WHERE condition of a single-table SELECT answered as a cursor filter.
// Conditions on indexed columns come from index key ranges and the rest from
// one read of the candidate records, after which the source cursor skips
// rejected rows by their row number without reading them. A source read
// once in physical order, where the indexes leave a quarter of the records or
// more to be read, is judged row by row as the cursor reads it instead: the
// reads are the same, and the passing rows are not read a second time.
// Either way the rows delivered are exactly those the evaluator accepts.

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
  TFilterWhere(const TFilterWhere&) = delete;
  TFilterWhere& operator=(const TFilterWhere&) = delete;

  // The source cursor must outlive this filter.
  void InstallOn(TDataCursor& source, Reading reading) override;

  // The installed filter (level, steps); null before InstallOn.
  const TFilter* Filter() const;

 private:
  void Uninstall();

  const TExpToken& condition_;
  TFilterSettings settings_;
  std::unique_ptr<TFilterList> filters_;
  // The row-by-row judge and the cursor it is installed on.
  std::unique_ptr<TFilter> judge_;
  TDataCursor* judged_ = nullptr;
};

}  // namespace keel
