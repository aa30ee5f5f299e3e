#include "engine/core/ChunkedBytes.h"

namespace keel {

uint8_t* TChunkedBytes::room(size_t bytes) {
  while (inUse_ < chunks_.size() && free_ + bytes > chunkBytes_) {
    ++inUse_;
    free_ = 0;
  }
  if (inUse_ == chunks_.size()) {
    chunks_.push_back(std::make_unique_for_overwrite<uint8_t[]>(chunkBytes_));
    free_ = 0;
  }
  return chunks_[inUse_].get() + free_;
}

void TChunkedBytes::rewind() {
  inUse_ = 0;
  free_ = 0;
}

}  // namespace keel
