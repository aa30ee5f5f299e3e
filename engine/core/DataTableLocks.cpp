#include "engine/core/DataTableLocks.h"

#include <utility>

#include "engine/core/DataDirectoryLocks.h"

namespace keel {

TDataTableLocks::TDataTableLocks(TDataDirectoryLocks& directory, std::string name, uint32_t slot)
    : directory_(directory), name_(std::move(name)), slot_(slot) {}

bool TDataTableLocks::folderLocking() const {
  return directory_.lockingEnabled();
}

bool TDataTableLocks::takesTableLocks() const {
  return slot_ != 0 && directory_.lockingEnabled();
}

void TDataTableLocks::raiseFor(ErrorCode code) const {
  raise(code, {.table = name_, .database = directory_.folder()});
}

bool TDataTableLocks::readLock() {
  if (holdsAny()) return false;
  if (!takeReadLock(directory_.settings().tableRead)) raiseFor(ErrorCode::KEEL_READLOCK);
  return true;
}

bool TDataTableLocks::tryReadLock() {
  return holdsAny() || takeReadLock({0, directory_.settings().tableRead.wait});
}

bool TDataTableLocks::takeReadLock(const LockRetryPolicy& policy) {
  if (slot_ == 0 && findsSlot_) slot_ = directory_.lookUpSlot(name_);
  if (takesTableLocks()) {
    const TLockLayout& layout = directory_.layout();
    auto range = directory_.acquire(
        policy, [&] { return layout.tableRead(slot_, directory_.randomByte()); }, LockMode::Shared);
    if (!range) return false;
    readRange_ = range;
  }
  held_ |= kRead;
  return true;
}

void TDataTableLocks::readUnlock() {
  if (!holdsRead()) raiseFor(ErrorCode::KEEL_READUNLOCK);
  held_ &= static_cast<uint8_t>(~kRead);
  std::optional<LockRange> range = std::exchange(readRange_, std::nullopt);
  if (range && !directory_.release(*range)) raiseFor(ErrorCode::KEEL_READUNLOCK);
}

void TDataTableLocks::writeLock() {
  if (holdsWrite()) return;
  // Our own read byte lies inside the write range and would refuse it.
  if (holdsRead()) readUnlock();
  if (!takesTableLocks()) {
    held_ |= kWrite;
    return;
  }
  const TLockLayout& layout = directory_.layout();
  const LockRetryPolicy& policy = directory_.settings().tableWrite;
  if (!directory_.inTransaction()) {
    if (!directory_.acquire(policy, [&] { return layout.transactionByte(slot_); })) {
      raiseFor(ErrorCode::KEEL_WRITELOCK);
    }
    held_ |= kTransaction;
  }
  if (!directory_.acquire(policy, [&] { return layout.tableWrite(slot_); })) {
    if ((held_ & kTransaction) != 0) {
      held_ &= static_cast<uint8_t>(~kTransaction);
      directory_.release(layout.transactionByte(slot_));
    }
    raiseFor(ErrorCode::KEEL_WRITELOCK);
  }
  held_ |= kWrite;
}

void TDataTableLocks::writeUnlock() {
  if (!holdsWrite()) raiseFor(ErrorCode::KEEL_WRITEUNLOCK);
  const bool transaction = (held_ & kTransaction) != 0;
  held_ &= static_cast<uint8_t>(~(kWrite | kTransaction));
  if (!takesTableLocks()) return;
  const TLockLayout& layout = directory_.layout();
  bool released = directory_.release(layout.tableWrite(slot_));
  if (transaction) released = directory_.release(layout.transactionByte(slot_)) && released;
  if (!released) raiseFor(ErrorCode::KEEL_WRITEUNLOCK);
}

// A writer waiting for its write lock holds the table's transaction byte and
// tries again every write-lock wait; a read lock retaken at once would leave
// it waiting until the scan ends. Waiting up to two of those waits for the
// byte lets it in; a byte held longer (a transaction going on elsewhere) is
// left to its holder and the scan goes on.
void TDataTableLocks::letWaitingWriterIn() {
  if (!takesTableLocks() || holdsAny() || directory_.inTransaction()) return;
  const TLockLayout& layout = directory_.layout();
  const LockRetryPolicy turn{2, directory_.settings().tableWrite.wait};
  if (std::optional<LockRange> byte =
          directory_.acquire(turn, [&] { return layout.transactionByte(slot_); }, LockMode::Shared)) {
    directory_.release(*byte);
  }
}

void TDataTableLocks::releaseAll() noexcept {
  if (holdsRead()) {
    try {
      readUnlock();
    } catch (const EKeelEngineError&) {
    }
  }
  if (holdsWrite()) {
    try {
      writeUnlock();
    } catch (const EKeelEngineError&) {
    }
  }
  held_ = 0;
}

}  // namespace keel
