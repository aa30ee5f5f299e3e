#pragma once

// The WHERE condition evaluated for each row the source cursor reaches.

#include <memory>

#include "engine/sql/ExpressionEvaluator.h"
#include "engine/sql/RowBufferAccessor.h"
#include "engine/sql/SelectRowFilter.h"

namespace keel {

class TSelectEvaluatingFilter : public TSelectRowFilter {
 public:
  // `condition` is verified and must outlive the filter; `evaluator` is the
  // source table's, its row accessor is set here.
  TSelectEvaluatingFilter(TExpToken& condition, std::shared_ptr<const TCollation> collation,
                          const mindrel::Clock& clock);

  void InstallOn(TDataCursor& source) override;

 private:
  TExpToken& condition_;
  TExpressionEvaluator evaluator_;
  std::unique_ptr<TRowBufferAccessor> rows_;
};

}  // namespace keel
