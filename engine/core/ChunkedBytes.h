#pragma once

// Images of many sizes kept one after another in chunks of one size that never
// move, so an image's address holds until the chunks are rewound. Rewound
// chunks are filled again, where fresh memory would cost a page fault every
// few images, and thousands of small allocations a trip through the heap each.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace keel {

class TChunkedBytes {
 public:
  // No image may be larger than `chunkBytes`.
  explicit TChunkedBytes(size_t chunkBytes) : chunkBytes_(chunkBytes) {}

  // Room for an image of up to `bytes`; commit() keeps what of it was used.
  uint8_t* room(size_t bytes);
  void commit(size_t bytes) { free_ += bytes; }
  size_t chunkBytes() const { return chunkBytes_; }
  // Starts again at the first chunk: every image handed out is given up.
  void rewind();

 private:
  size_t chunkBytes_;
  std::vector<std::unique_ptr<uint8_t[]>> chunks_;
  size_t inUse_ = 0;
  size_t free_ = 0;  // offset of the free space in the chunk in use
};

}  // namespace keel
