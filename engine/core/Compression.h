#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace keel {

// BLOB values of a field whose descriptor carries a compression level 1..9 are
// stored as one complete zlib stream (RFC 1950: header, deflate data, Adler-32
// trailer) made from the whole value. An empty value is stored empty.

// The stored bytes of `value` at `level` (1..9). Raises 15001 when zlib fails.
std::vector<std::uint8_t> CompressBlobValue(std::span<const std::uint8_t> value, int level);

// The value held by `stored`, which must be exactly one zlib stream (or empty).
// Raises 15002 for a damaged, truncated or over-long stream.
std::vector<std::uint8_t> DecompressBlobValue(std::span<const std::uint8_t> stored);

// First output size tried when compressing n bytes; the buffer then grows by
// kCompressGrowth until the stream is finished.
std::size_t CompressStartCapacity(std::size_t n);
inline constexpr std::size_t kCompressGrowth = 256;
// Output size first tried when decompressing, and its growth step.
inline constexpr std::size_t kDecompressGrowth = 65536;

}  // namespace keel
