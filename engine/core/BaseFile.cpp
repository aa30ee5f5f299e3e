#include "engine/core/BaseFile.h"

#include <cerrno>
#include <iterator>

#include "engine/core/ErrorCodes.h"

namespace keel {

int TBaseFile::addOpen() {
  std::lock_guard guard(stateMutex_);
  int id = nextOpenId_++;
  positions_[id] = 0;
  return id;
}

void TBaseFile::removeOpen(int openId) {
  std::lock_guard guard(stateMutex_);
  positions_.erase(openId);
}

int TBaseFile::openCount() const {
  std::lock_guard guard(stateMutex_);
  return static_cast<int>(positions_.size());
}

uint64_t& TBaseFile::positionOf(int openId) {
  auto it = positions_.find(openId);
  if (it == positions_.end()) raiseOsError(EBADF, path_);
  return it->second;
}

uint64_t TBaseFile::seek(int openId, int64_t offset, Whence whence) {
  std::lock_guard guard(stateMutex_);
  uint64_t& position = positionOf(openId);
  int64_t base = whence == Whence::Begin ? 0
                 : whence == Whence::Current ? static_cast<int64_t>(position)
                                             : static_cast<int64_t>(doSize());
  if (base + offset < 0) raiseOsError(EINVAL, path_);
  position = static_cast<uint64_t>(base + offset);
  return position;
}

size_t TBaseFile::read(int openId, void* buffer, size_t length) {
  std::lock_guard guard(stateMutex_);
  uint64_t& position = positionOf(openId);
  size_t done = doReadAt(position, buffer, length);
  position += done;
  return done;
}

void TBaseFile::write(int openId, const void* buffer, size_t length) {
  std::lock_guard guard(stateMutex_);
  uint64_t& position = positionOf(openId);
  if (length == 0) {
    doTruncate(position);
    return;
  }
  doWriteAt(position, buffer, length);
  position += length;
}

size_t TBaseFile::readAt(uint64_t offset, void* buffer, size_t length) {
  std::lock_guard guard(stateMutex_);
  return doReadAt(offset, buffer, length);
}

void TBaseFile::writeAt(uint64_t offset, const void* buffer, size_t length) {
  std::lock_guard guard(stateMutex_);
  doWriteAt(offset, buffer, length);
}

void TBaseFile::truncate(uint64_t size) {
  std::lock_guard guard(stateMutex_);
  doTruncate(size);
}

void TBaseFile::flush() {
  std::lock_guard guard(stateMutex_);
  doFlush();
}

uint64_t TBaseFile::size() {
  std::lock_guard guard(stateMutex_);
  return doSize();
}

bool TBaseFile::lockRange(uint64_t offset, uint64_t length, LockMode mode) {
  if (length == 0) return false;
  std::lock_guard guard(lockMutex_);
  uint64_t end = offset + length;  // exclusive
  auto after = lockedRanges_.lower_bound(offset);
  if (after != lockedRanges_.end() && after->first < end) return false;
  if (after != lockedRanges_.begin()) {
    auto before = std::prev(after);
    if (before->first + before->second > offset) return false;
  }
  if (!doLockRange(offset, length, mode)) return false;
  lockedRanges_.emplace(offset, length);
  return true;
}

bool TBaseFile::unlockRange(uint64_t offset, uint64_t length) {
  std::lock_guard guard(lockMutex_);
  auto it = lockedRanges_.find(offset);
  if (it == lockedRanges_.end() || it->second != length) return false;
  doUnlockRange(offset, length);
  lockedRanges_.erase(it);
  return true;
}

}  // namespace keel
