#include "engine/core/LockLayout.h"

namespace keel {

namespace {
constexpr uint64_t R = TLockLayout::kRegion;
constexpr uint64_t kTrans = TLockLayout::kTransactionBytes;
}  // namespace

LockRange TLockLayout::listShared(uint32_t randomByte) const {
  return {lockBase_ - R + randomByte - 1, 1};
}

LockRange TLockLayout::listExclusive() const {
  return {lockBase_ - R, R};
}

LockRange TLockLayout::transactionByte(uint32_t slot) const {
  return {lockBase_ - R - slot, 1};
}

LockRange TLockLayout::allTransactionBytes() const {
  return {lockBase_ - R - kTrans, kTrans};
}

uint64_t TLockLayout::tableRegion(uint32_t slot) const {
  return lockBase_ - R - kTrans - uint64_t{slot} * R;
}

LockRange TLockLayout::tableRead(uint32_t slot, uint32_t randomByte) const {
  return {tableRegion(slot) + randomByte - 1, 1};
}

LockRange TLockLayout::tableWrite(uint32_t slot) const {
  return {tableRegion(slot), R};
}

LockRange TLockLayout::allTableWrites() const {
  return {lockBase_ - R - kTrans - kTrans * R, kTrans * R};
}

LockRange TLockLayout::row(uint64_t row) const {
  return {lockBase_ - row, 1};
}

LockRange TLockLayout::wholeTable() const {
  return {lockBase_ - rowLimit_, rowLimit_};
}

LockRange TLockLayout::semaphore(uint32_t semaphore) const {
  return {lockBase_ - rowLimit_ - semaphore, 1};
}

}  // namespace keel
