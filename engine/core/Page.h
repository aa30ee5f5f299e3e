#pragma once

// An index page in the page cache of TIndexFile. The disk image (decrypted)
// is unpacked into a TIndexPage when a tree first asks for it, with that
// tree's geometry, and packed again when the cache writes the unit back.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/core/Buffer.h"
#include "engine/core/IndexPage.h"

namespace keel {

class TPage : public TBuffer {
 public:
  explicit TPage(size_t pageSize) : TBuffer(pageSize) {}

  // The unpacked page. Raises 8965 naming `table` when the bytes are no page
  // of `geometry`, or when the page holds entries of another tree (pages
  // without entries, such as free pages, change trees freely).
  TIndexPage& unpacked(const IndexPageGeometry& geometry, const std::string& table);

  void clear() override;
  void load(const uint8_t* disk, size_t diskSize) override;
  void store(uint8_t* disk, size_t diskSize) const override;

 private:
  mutable std::optional<TIndexPage> page_;  // packing works out d and t afresh
};

}  // namespace keel
