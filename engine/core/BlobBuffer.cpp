#include "engine/core/BlobBuffer.h"

#include <algorithm>

namespace keel {

TBlobBuffer::TBlobBuffer(const FieldDescriptor& field, BlobReference original, std::vector<std::uint8_t> value,
                         BlobMode mode)
    : field_(field), original_(original), value_(std::move(value)), mode_(mode) {}

std::size_t TBlobBuffer::read(std::uint64_t offset, std::span<std::uint8_t> out) const {
  if (offset >= value_.size()) return 0;
  const std::size_t count = std::min<std::size_t>(out.size(), value_.size() - static_cast<std::size_t>(offset));
  std::copy_n(value_.begin() + static_cast<std::ptrdiff_t>(offset), count, out.begin());
  return count;
}

void TBlobBuffer::write(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  const std::uint64_t end = offset + bytes.size();
  if (end > value_.size()) value_.resize(static_cast<std::size_t>(end), 0);
  std::copy(bytes.begin(), bytes.end(), value_.begin() + static_cast<std::ptrdiff_t>(offset));
  modified_ = true;
}

void TBlobBuffer::resize(std::uint64_t size) {
  value_.resize(static_cast<std::size_t>(size), 0);
  modified_ = true;
}

void TBlobBuffer::addOpen(BlobMode mode) {
  ++openCount_;
  if (mode == BlobMode::ReadWrite) mode_ = BlobMode::ReadWrite;
}

}  // namespace keel
