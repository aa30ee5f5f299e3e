#include "engine/core/FaultyFile.h"

#include <algorithm>

#include "engine/core/ErrorCodes.h"

namespace keel {

size_t TFaultyFile::count(Op op) const {
  return static_cast<size_t>(std::count_if(calls_.begin(), calls_.end(), [op](const Call& c) { return c.op == op; }));
}

void TFaultyFile::record(Op op, uint64_t offset, size_t length) {
  calls_.push_back({op, offset, length});
  if (failAt_ != 0 && calls_.size() == failAt_) raiseOsError(errnum_, path());
}

size_t TFaultyFile::doReadAt(uint64_t offset, void* buffer, size_t length) {
  record(Op::Read, offset, length);
  return TMemoryFile::doReadAt(offset, buffer, length);
}

void TFaultyFile::doWriteAt(uint64_t offset, const void* buffer, size_t length) {
  record(Op::Write, offset, length);
  TMemoryFile::doWriteAt(offset, buffer, length);
}

void TFaultyFile::doTruncate(uint64_t size) {
  record(Op::Truncate, size, 0);
  TMemoryFile::doTruncate(size);
}

void TFaultyFile::doFlush() {
  record(Op::Flush, 0, 0);
  TMemoryFile::doFlush();
}

}  // namespace keel
