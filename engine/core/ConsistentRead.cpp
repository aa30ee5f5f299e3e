#include "engine/core/ConsistentRead.h"

#include <algorithm>

#include "engine/core/DataTable.h"
#include "engine/core/LockRetry.h"

namespace keel {

TConsistentRead::TConsistentRead(std::vector<TDataTable*> tables) : tables_(std::move(tables)) {
  std::sort(tables_.begin(), tables_.end());
  tables_.erase(std::unique(tables_.begin(), tables_.end()), tables_.end());
}

void TConsistentRead::run(const std::function<void()>& read) {
  attempts_ = 0;
  if (tables_.empty()) {
    attempts_ = 1;
    read();
    return;
  }
  while (attempts_ < kUnlockedAttempts) {
    const std::vector<int32_t> before = changeCounts();
    ++attempts_;
    read();
    if (changeCounts() == before) return;
  }
  ++attempts_;
  runHoldingEveryReadLock(read);
}

std::vector<int32_t> TConsistentRead::changeCounts() const {
  std::vector<int32_t> counts;
  for (TDataTable* table : tables_) {
    TTableReadScope locked(*table);
    counts.push_back(table->data().header().changeCount);
  }
  return counts;
}

void TConsistentRead::runHoldingEveryReadLock(const std::function<void()>& read) {
  holdEveryReadLock();
  try {
    read();
  } catch (...) {
    releaseReadLocks(tables_.size());
    throw;
  }
  releaseReadLocks(tables_.size());
}

void TConsistentRead::holdEveryReadLock() {
  const EngineLockSettings& settings = tables_.front()->lockSettings();
  TLockRetry retry(settings.tableRead, settings.sleep);
  for (;;) {
    size_t held = 0;
    while (held < tables_.size() && tables_[held]->tryBeginHeldRead()) ++held;
    if (held == tables_.size()) return;
    releaseReadLocks(held);
    if (!retry.waitForNext()) raise(ErrorCode::KEEL_READLOCK, {.table = tables_[held]->name()});
  }
}

void TConsistentRead::releaseReadLocks(size_t count) noexcept {
  for (size_t i = 0; i < count; ++i) {
    try {
      tables_[i]->endRead();
    } catch (...) {
      // A failed release leaves nothing held that a later reading could trip on.
    }
  }
}

}  // namespace keel
