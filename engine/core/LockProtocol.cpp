#include "engine/core/LockProtocol.h"

#include <utility>

#include "engine/core/DataDirectoryLocks.h"

namespace keel {

TLockProtocol::TLockProtocol(TLockTarget& table, TDataTableLocks& locks, const SessionLockSettings& session,
                             bool exclusive)
    : table_(table), locks_(locks), session_(session), exclusive_(exclusive) {}

TLockProtocol::~TLockProtocol() {
  releaseAll();
}

const TLockLayout& TLockProtocol::layout() const {
  return locks_.directory().layout();
}

void TLockProtocol::raiseFor(ErrorCode code) const {
  raise(code, {.table = table_.lockName(), .database = locks_.directory().folder()});
}

bool TLockProtocol::lockAndRefreshRead() { return refreshUnderRead(locks_.readLock()); }

bool TLockProtocol::refreshUnderRead(bool taken) {
  try {
    if (taken && table_.interruptedWriteFound()) return recoverThenRead();
    return table_.refresh();
  } catch (...) {
    if (taken) releaseReadQuietly();
    throw;
  }
}

std::optional<bool> TLockProtocol::tryReadForHeldRead() {
  if (exclusive_ || locks_.holdsAny()) return false;
  if (!locks_.tryReadLock()) return std::nullopt;
  return refreshUnderRead(true);
}

// Readers share the read lock, so undoing what a cut-off writer left needs
// the write lock; the reader takes it, undoes, and reads on after it.
bool TLockProtocol::recoverThenRead() {
  locks_.readUnlock();
  beginWrite();
  if (locks_.holdsWrite()) locks_.writeUnlock();
  locks_.readLock();
  table_.refresh();
  return true;
}

void TLockProtocol::releaseReadQuietly() noexcept {
  if (!locks_.holdsRead()) return;
  try {
    locks_.readUnlock();
  } catch (const EKeelEngineError&) {
  }
}

bool TLockProtocol::beginRead() {
  if (exclusive_ || !session_.strictChangeDetection) return false;
  return lockAndRefreshRead();
}

bool TLockProtocol::readForPageMiss() {
  if (exclusive_ || locks_.holdsAny()) return false;
  return lockAndRefreshRead();
}

void TLockProtocol::endRead() {
  if (locks_.holdsRead()) locks_.readUnlock();
}

bool TLockProtocol::beginWrite() {
  if (exclusive_) return false;
  locks_.writeLock();
  try {
    return table_.refreshForWrite();
  } catch (...) {
    abortWrite();
    throw;
  }
}

void TLockProtocol::endWrite() {
  try {
    table_.writeBack();
  } catch (...) {
    abortWrite();
    throw;
  }
  if (locks_.holdsWrite()) locks_.writeUnlock();
}

void TLockProtocol::abortWrite() noexcept {
  if (!locks_.holdsWrite()) return;
  try {
    locks_.writeUnlock();
  } catch (const EKeelEngineError&) {
  }
}

bool TLockProtocol::tryDataLock(const LockRange& range, TLockRetry& retry) {
  return !locks_.folderLocking() ||
         retry.tryLock([this](const LockRange& wanted) { return table_.lockDataRange(wanted); }, range);
}

bool TLockProtocol::lockData(const LockRange& range) {
  TLockRetry retry(session_.record, session_.sleep);
  while (!tryDataLock(range, retry)) {
    if (!retry.waitForNext()) return false;
  }
  return true;
}

bool TLockProtocol::unlockData(const LockRange& range) {
  return !locks_.folderLocking() ||
         ReleaseRange([this](const LockRange& held) { return table_.unlockDataRange(held); }, range);
}

bool TLockProtocol::lockRow(uint64_t row) {
  if (row == 0 || row > layout().rowLimit() || tableLocked_ || rowLocked(row)) {
    raiseFor(ErrorCode::KEEL_RECLOCKFAILED);
  }
  bool changed = readForPageMiss();
  TLockRetry retry(session_.record, session_.sleep);
  // Never wait while holding the read lock: the row's owner may need the
  // write lock to finish with it.
  while (!tryDataLock(layout().row(row), retry)) {
    releaseReadQuietly();
    if (!retry.waitForNext()) raiseFor(ErrorCode::KEEL_RECLOCKFAILED);
    changed = readForPageMiss() || changed;
  }
  rows_.insert(row);
  return changed;
}

void TLockProtocol::unlockRow(uint64_t row) {
  if (rows_.erase(row) == 0 || !unlockData(layout().row(row))) raiseFor(ErrorCode::KEEL_UNLOCKFAILED);
}

void TLockProtocol::lockTable() {
  if (tableLocked_ || !rows_.empty() || !lockData(layout().wholeTable())) raiseFor(ErrorCode::KEEL_LOCKED);
  tableLocked_ = true;
  if (exclusive_ || locks_.holdsAny()) return;
  try {
    table_.refresh();
  } catch (...) {
    tableLocked_ = false;
    unlockData(layout().wholeTable());
    throw;
  }
}

void TLockProtocol::unlockTable() {
  const bool held = std::exchange(tableLocked_, false);
  if (!held || !unlockData(layout().wholeTable())) raiseFor(ErrorCode::KEEL_UNLOCKFAILED);
}

bool TLockProtocol::lockSemaphore(uint32_t semaphore) {
  if (semaphore < 1 || semaphore > TLockLayout::kMaxSemaphore || semaphores_.count(semaphore) != 0)
    return false;
  if (!lockData(layout().semaphore(semaphore))) return false;
  semaphores_.insert(semaphore);
  return true;
}

bool TLockProtocol::unlockSemaphore(uint32_t semaphore) {
  return semaphores_.erase(semaphore) != 0 && unlockData(layout().semaphore(semaphore));
}

void TLockProtocol::releaseAll() noexcept {
  for (uint64_t row : rows_) unlockData(layout().row(row));
  for (uint32_t semaphore : semaphores_) unlockData(layout().semaphore(semaphore));
  if (tableLocked_) unlockData(layout().wholeTable());
  rows_.clear();
  semaphores_.clear();
  tableLocked_ = false;
  locks_.releaseAll();
}

}  // namespace keel
