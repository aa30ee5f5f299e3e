#include "engine/core/MemoryFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "engine/core/ErrorCodes.h"

namespace keel {

void TMemoryFile::reserveFor(uint64_t size) {
  try {
    while (capacity() < size) chunks_.push_back(std::make_unique<Chunk>());
  } catch (const std::bad_alloc&) {
    raiseOsError(ENOMEM, path());
  }
}

size_t TMemoryFile::doReadAt(uint64_t offset, void* buffer, size_t length) {
  if (offset >= size_) return 0;
  size_t total = static_cast<size_t>(std::min<uint64_t>(length, size_ - offset));
  auto* out = static_cast<uint8_t*>(buffer);
  for (size_t done = 0; done < total;) {
    uint64_t at = offset + done;
    size_t inChunk = static_cast<size_t>(at % kChunkSize);
    size_t n = std::min(total - done, kChunkSize - inChunk);
    std::memcpy(out + done, chunks_[at / kChunkSize]->data() + inChunk, n);
    done += n;
  }
  return total;
}

void TMemoryFile::doWriteAt(uint64_t offset, const void* buffer, size_t length) {
  if (offset > size_) doTruncate(offset);  // the gap reads as zeros
  reserveFor(offset + length);
  const auto* in = static_cast<const uint8_t*>(buffer);
  for (size_t done = 0; done < length;) {
    uint64_t at = offset + done;
    size_t inChunk = static_cast<size_t>(at % kChunkSize);
    size_t n = std::min(length - done, kChunkSize - inChunk);
    std::memcpy(chunks_[at / kChunkSize]->data() + inChunk, in + done, n);
    done += n;
  }
  size_ = std::max<uint64_t>(size_, offset + length);
}

void TMemoryFile::doTruncate(uint64_t size) {
  if (size > size_) {
    reserveFor(size);
    // Bytes past the old end must read as zeros, also after an earlier cut.
    for (uint64_t at = size_; at < size;) {
      size_t inChunk = static_cast<size_t>(at % kChunkSize);
      size_t n = static_cast<size_t>(std::min<uint64_t>(size - at, kChunkSize - inChunk));
      std::memset(chunks_[at / kChunkSize]->data() + inChunk, 0, n);
      at += n;
    }
  } else {
    chunks_.resize((size + kChunkSize - 1) / kChunkSize);
  }
  size_ = size;
}

}  // namespace keel
