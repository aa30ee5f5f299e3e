#pragma once

// One index page: its 13-byte header and its entries, unpacked in memory and
// packed on disk (IndexPageHeader and the four leaf compression modes;
// docs/formats/index-file.md, "Pages").
//
// In memory every entry is K + 10 bytes: key, int32 pointer (child page or
// physical row number), int32 subtree count, and the d and t of its packed
// form (leading bytes shared with the previous key, trailing zeros dropped),
// which packedSize() and encode() work out afresh.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/core/IndexDescriptor.h"

namespace keel {

enum class IndexPageType : uint8_t { InteriorRoot = 0, Interior = 1, Leaf = 2, LeafRoot = 3, FullText = 4 };

// What a page of one index looks like; the same for every page of its tree.
struct IndexPageGeometry {
  size_t pageSize = 0;
  size_t keySize = 0;
  size_t suffixSize = 0;  // 4 in non-unique indexes: the RecordID is never cut
  IndexCompression compression = IndexCompression::icNone;
  bool statistics = true;  // interior entries carry subtree counts

  static IndexPageGeometry Of(const IndexDescriptor& index, size_t pageSize);

  size_t room() const;  // bytes for entries
  size_t interiorEntrySize() const { return keySize + 4 + (statistics ? 4 : 0); }
  size_t interiorCapacity() const { return room() / interiorEntrySize(); }
  size_t leafCapacity() const { return room() / (keySize + 4); }  // uncompressed leaves
  bool compressesLeaves() const { return compression != IndexCompression::icNone; }
  bool operator==(const IndexPageGeometry&) const = default;
};

class TIndexPage {
 public:
  TIndexPage(const IndexPageGeometry& geometry, int32_t number);

  const IndexPageGeometry& geometry() const { return geometry_; }
  int32_t number() const { return number_; }

  IndexPageType type() const { return type_; }
  void setType(IndexPageType type) {
    type_ = type;
    packingKnown_ = false;
  }
  bool isLeaf() const { return type_ == IndexPageType::Leaf || type_ == IndexPageType::LeafRoot; }
  bool isRoot() const { return type_ == IndexPageType::InteriorRoot || type_ == IndexPageType::LeafRoot; }
  int32_t prev() const { return prev_; }
  int32_t next() const { return next_; }
  void setPrev(int32_t page) { prev_ = page; }
  void setNext(int32_t page) { next_ = page; }

  int count() const { return static_cast<int>(entries_.size() / stride()); }
  std::span<const uint8_t> key(int i) const { return {entry(i), geometry_.keySize}; }
  int32_t pointer(int i) const;
  int32_t subtreeCount(int i) const;
  void setKey(int i, std::span<const uint8_t> key);
  void setPointer(int i, int32_t value);
  void setSubtreeCount(int i, int32_t value);

  void insert(int i, std::span<const uint8_t> key, int32_t pointer, int32_t subtreeCount);
  void erase(int i);
  // Moves entries [from, count) to the front of `dest`.
  void moveTailTo(int from, TIndexPage& dest);
  // Moves the first `n` entries to the back of `dest`.
  void moveHeadTo(int n, TIndexPage& dest);
  // Empties the page for the free chain: no entries, `nextFree` as next link.
  void makeFree(int32_t nextFree);

  // Keys under this page: the entry count of a leaf, the sum of the subtree
  // counts of an interior page.
  int64_t keyCount() const;
  // Whether the entries fit one page: by count for interior and uncompressed
  // leaf pages, by packed size for compressed leaves.
  bool fits();
  // Bytes the entries take packed (compressed leaves), after the header.
  // Kept up to date entry by entry, so asking after each change is cheap.
  size_t packedSize();

  // False when the bytes cannot be a page of this geometry (too many entries,
  // packed bytes overrunning the page, impossible d or t).
  bool decode(std::span<const uint8_t> disk);
  // Writes the whole page image (pageSize bytes, zero after the entries).
  // Raises 8965 when the entries do not fit the page.
  void encode(std::span<uint8_t> disk);

 private:
  size_t stride() const { return geometry_.keySize + 10; }
  uint8_t* entry(int i) { return entries_.data() + static_cast<size_t>(i) * stride(); }
  const uint8_t* entry(int i) const { return entries_.data() + static_cast<size_t>(i) * stride(); }
  bool packsEntries() const { return isLeaf() && geometry_.compressesLeaves(); }
  // Works out d and t of entry i from entry i - 1; returns its packed size.
  size_t packEntry(int i);
  size_t packedEntrySize(int i) const;
  // Packed size of entries i and i + 1 (those that exist), as last worked out.
  size_t packedPairSize(int i) const;
  size_t packPair(int i);
  bool decodePacked(std::span<const uint8_t> disk, int count, size_t packedBytes);

  IndexPageGeometry geometry_;
  int32_t number_;
  IndexPageType type_ = IndexPageType::Leaf;
  int32_t prev_ = 0;
  int32_t next_ = 0;
  std::vector<uint8_t> entries_;
  // Sum of the packed entry sizes, valid while packingKnown_; every change
  // of entries updates it or clears the flag.
  size_t packedBytes_ = 0;
  bool packingKnown_ = false;
};

}  // namespace keel
