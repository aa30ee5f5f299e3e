#pragma once

// Byte layout of the BLOB file (docs/formats/blob-file.md): a 512-byte header,
// then blocks of S bytes (S = the table's BLOB block size, 64..65536, a
// multiple of 8), each an 18-byte block header followed by S - 18 data bytes.
// All integers little-endian.

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/core/DataFileHeader.h"
#include "engine/core/Md5.h"

namespace keel {

inline constexpr std::uint8_t kBlobFileVersion = 6;
inline constexpr std::int32_t kMinBlobBlockSize = 64;
inline constexpr std::int32_t kMaxBlobBlockSize = 65536;

struct BlobFileHeader {
  static constexpr std::size_t kSize = 512;
  static constexpr std::size_t kChangeCountAt = 0;  // 4 reserved bytes follow
  static constexpr std::size_t kVersionAt = 8;
  static constexpr std::size_t kSignatureAt = 9;
  static constexpr std::size_t kFreeHeadAt = kSignatureAt + 16;  // 25
  static constexpr std::size_t kNextBlockAt = kFreeHeadAt + 4;   // 29
  static constexpr std::size_t kModifiedAt = kNextBlockAt + 4;   // 33; reserved to 512

  std::int32_t changeCount = 0;
  std::uint8_t version = kBlobFileVersion;
  Md5Digest signature{};
  std::int32_t freeHead = 0;   // first block of the free-block chain, 0 if none
  std::int32_t nextBlock = 1;  // block count + 1
  std::uint8_t modified = 0;   // writer's flag, ignored on read

  void encode(std::span<std::uint8_t, kSize> out) const;
  static BlobFileHeader decode(std::span<const std::uint8_t, kSize> in);
};

struct BlobBlockHeader {
  static constexpr std::size_t kSize = 4 + 4 + 2 + 4 + 4;  // 18
  static constexpr std::size_t kPreviousAt = 0;
  static constexpr std::size_t kNextAt = 4;
  static constexpr std::size_t kUsedAt = 8;
  static constexpr std::size_t kStampAt = 10;
  static constexpr std::size_t kTotalLengthAt = 14;

  std::int32_t previous = 0;     // 0 in the first block of a chain
  std::int32_t next = 0;         // 0 at the end of a chain
  std::uint16_t used = 0;        // data bytes used in this block
  std::int32_t stamp = 0;        // first block only: the value's stamp
  std::int32_t totalLength = 0;  // first block only: stored bytes of the value

  void encode(std::span<std::uint8_t, kSize> out) const;
  static BlobBlockHeader decode(std::span<const std::uint8_t, kSize> in);
};

// The 8 data bytes of a BLOB field in a row, after its null-indicator byte.
struct BlobReference {
  static constexpr std::size_t kSize = 8;

  std::int32_t firstBlock = 0;  // 0: the row slot never held a chain
  std::int32_t stamp = 0;

  void encode(std::span<std::uint8_t, kSize> out) const;
  static BlobReference decode(std::span<const std::uint8_t, kSize> in);
  bool operator==(const BlobReference&) const = default;
};

}  // namespace keel
