#include "engine/components/KeelConsistentRead.h"

#include "engine/components/KeelDataSet.h"
#include "engine/core/ConsistentRead.h"
#include "engine/core/DataCursor.h"

namespace keel {

void TKeelConsistentRead::Run(const std::function<void()>& read) {
  std::vector<TDataTable*> tables;
  for (TKeelDataSet* dataSet : dataSets_) {
    dataSet->CheckActive();
    tables.push_back(&dataSet->cursor().table());
  }
  TConsistentRead(std::move(tables)).run(read);
}

}  // namespace keel
