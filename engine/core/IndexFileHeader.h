#pragma once

// The 512-byte header at the start of an index file (offsets in IndexLayout.h,
// drawing in docs/formats/index-file.md). Little-endian throughout.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/core/IndexLayout.h"
#include "engine/core/Md5.h"

namespace keel {

struct IndexFileHeader {
  static constexpr size_t kSize = index_layout::kHeaderSize;

  int32_t changeCount = 0;  // HeaderChangeCount, compared by other readers
  uint8_t version = index_layout::kVersion;
  Md5Digest signature{};
  int32_t freeHead = 0;  // first page of the free chain, 0 if none
  int32_t nextPage = 1;  // page count + 1
  uint8_t secondaryCount = 0;
  std::array<int32_t, index_layout::kSlotCount> roots{};      // 0 = empty tree
  std::array<int32_t, index_layout::kSlotCount> dataRoots{};  // full-text slot only
  uint8_t modified = 0;                                       // writer's flag, ignored on read

  void encode(std::span<uint8_t, kSize> out) const;
  static IndexFileHeader decode(std::span<const uint8_t, kSize> in);
  bool operator==(const IndexFileHeader&) const = default;
};

}  // namespace keel
