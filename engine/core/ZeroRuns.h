#pragma once

// Images with their zero runs squeezed out: runs of [literal count (2 bytes)]
// [literal bytes][zero count (2 bytes)]. Rows, pages and blocks of fixed-width
// tables are mostly unused text space, so held in memory they shrink to a
// fraction of their size.

#include <cstddef>
#include <cstdint>
#include <span>

namespace keel {

// Room that squeezing an image of `size` bytes may need at worst.
size_t SqueezedBound(size_t size);
// Writes the squeezed `image` from `out` on, which has room for
// SqueezedBound(image.size()) bytes; answers the end.
uint8_t* SqueezeZeros(std::span<const uint8_t> image, uint8_t* out);
// Fills `image` from its squeezed form.
void RestoreZeros(std::span<const uint8_t> squeezed, std::span<uint8_t> image);

}  // namespace keel
