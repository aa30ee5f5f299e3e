#include "engine/core/Compression.h"

#include <limits>

#include <zlib.h>

#include "engine/core/ErrorCodes.h"

namespace keel {
namespace {

// zlib counts in 32-bit units; stored BLOB lengths are int32 anyway.
constexpr std::size_t kMaxZlibChunk = std::numeric_limits<std::int32_t>::max();

void pointOutputAt(z_stream& stream, std::vector<std::uint8_t>& out, std::size_t used) {
  stream.next_out = out.data() + used;
  stream.avail_out = static_cast<uInt>(out.size() - used);
}

struct DeflateGuard {
  z_stream& stream;
  ~DeflateGuard() { deflateEnd(&stream); }
};

struct InflateGuard {
  z_stream& stream;
  ~InflateGuard() { inflateEnd(&stream); }
};

}  // namespace

std::size_t CompressStartCapacity(std::size_t n) {
  return (n + n / 10 + 267) / kCompressGrowth * kCompressGrowth;
}

std::vector<std::uint8_t> CompressBlobValue(std::span<const std::uint8_t> value, int level) {
  if (value.empty()) return {};
  if (value.size() > kMaxZlibChunk) raise(ErrorCode::KEEL_COMPRESS);

  z_stream stream{};
  if (deflateInit(&stream, level) != Z_OK) raise(ErrorCode::KEEL_COMPRESS);
  DeflateGuard guard{stream};

  std::vector<std::uint8_t> out(CompressStartCapacity(value.size()));
  stream.next_in = const_cast<Bytef*>(value.data());  // zlib never writes its input
  stream.avail_in = static_cast<uInt>(value.size());
  pointOutputAt(stream, out, 0);
  for (;;) {
    const int result = deflate(&stream, Z_FINISH);
    if (result == Z_STREAM_END) break;
    const bool outputFull = stream.avail_out == 0 && (result == Z_OK || result == Z_BUF_ERROR);
    if (!outputFull) raise(ErrorCode::KEEL_COMPRESS);
    const std::size_t used = out.size();
    out.resize(used + kCompressGrowth);
    pointOutputAt(stream, out, used);
  }
  out.resize(stream.total_out);
  return out;
}

std::vector<std::uint8_t> DecompressBlobValue(std::span<const std::uint8_t> stored) {
  if (stored.empty()) return {};
  if (stored.size() > kMaxZlibChunk) raise(ErrorCode::KEEL_UNCOMPRESS);

  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) raise(ErrorCode::KEEL_UNCOMPRESS);
  InflateGuard guard{stream};

  std::vector<std::uint8_t> out(kDecompressGrowth);
  stream.next_in = const_cast<Bytef*>(stored.data());
  stream.avail_in = static_cast<uInt>(stored.size());
  pointOutputAt(stream, out, 0);
  for (;;) {
    const int result = inflate(&stream, Z_NO_FLUSH);
    if (result == Z_STREAM_END) break;
    // Anything but "the output is full" means a damaged or truncated stream.
    const bool outputFull = stream.avail_out == 0 && (result == Z_OK || result == Z_BUF_ERROR);
    if (!outputFull) raise(ErrorCode::KEEL_UNCOMPRESS);
    // No BLOB value is longer than its int32 length allows; a stream that
    // inflates past that is damaged and must not exhaust memory first.
    const std::size_t used = out.size();
    if (used >= kMaxZlibChunk) raise(ErrorCode::KEEL_UNCOMPRESS);
    out.resize(used + kDecompressGrowth);
    pointOutputAt(stream, out, used);
  }
  // Bytes after the stream's end would be silently lost: the stored length and
  // the stream disagree, so the value cannot be trusted.
  if (stream.avail_in != 0) raise(ErrorCode::KEEL_UNCOMPRESS);
  out.resize(stream.total_out);
  return out;
}

}  // namespace keel
