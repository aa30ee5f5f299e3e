#pragma once

// One B+-tree of an index file: search, insertion with splits, deletion with
// merges and redistribution, navigation along the leaf links, and positions
// and counts from the subtree counts of interior entries.
//
// Contract for the cursor layer:
// - Keys are whole KeyBuffers of the index's key size; all keys of a tree are
//   distinct (non-unique indexes end each key with the RecordID), so a key
//   names one entry. A `length` argument limits comparisons to the first
//   `length` key bytes (partial searches, ranges); the bytes after it should
//   be filled as a range start or end (TKeyBuilder).
// - An IndexEntryRef names a leaf entry by page and slot. It stays valid only
//   until the tree is next changed; after a change, find the entry again by
//   its key. An invalid ref (page 0) means "no such entry" (BOF, EOF, empty).
// - Positions are 1-based ranks in index order. With subtree counts they cost
//   one descent; an index without statistics walks its leaves instead.
// - Structural damage met on the way (a page outside the file, a wrong page
//   type, broken leaf links, depth over 64) raises 8965; an insertion of a key
//   already present raises 9729. After an error the tree may be partly
//   changed; nothing else is promised.
// - Over an index file, a page that has to come from disk after another
//   writer changed the table raises EIndexTableChanged (IndexSlotStore.h):
//   refresh, then find the current key again.
//
// The tree borrows its store and comparer; both must outlive it.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/core/IndexDescriptor.h"
#include "engine/core/IndexPageStore.h"
#include "engine/core/KeyBuilder.h"
#include "engine/core/KeyComparer.h"

namespace keel {

struct IndexEntryRef {
  int32_t page = 0;
  int index = 0;
  bool valid() const { return page != 0; }
  bool operator==(const IndexEntryRef&) const = default;
};

class TIndexTree {
 public:
  static constexpr size_t kWholeKey = TKeyComparer::kWholeKey;

  TIndexTree(TIndexPageStore& store, const IndexDescriptor& index, const TKeyComparer& comparer,
             std::string tableName);

  IndexEntryRef first();
  IndexEntryRef last();
  IndexEntryRef next(IndexEntryRef at);
  IndexEntryRef prior(IndexEntryRef at);
  // First entry whose key is >= `key` over `length` bytes.
  IndexEntryRef seek(std::span<const uint8_t> key, size_t length = kWholeKey);
  // Last entry whose key is <= `key` over `length` bytes.
  IndexEntryRef seekLast(std::span<const uint8_t> key, size_t length = kWholeKey);
  // The entry with exactly this key.
  IndexEntryRef find(std::span<const uint8_t> key);

  KeyBuffer keyAt(IndexEntryRef at);
  int32_t rowAt(IndexEntryRef at);

  void insert(std::span<const uint8_t> key, int32_t row);
  // Removes the entry of `key` when it points to `row`; false when there is none.
  bool remove(std::span<const uint8_t> key, int32_t row);

  int64_t count();
  int64_t countLess(std::span<const uint8_t> key, size_t length = kWholeKey);
  int64_t countLessOrEqual(std::span<const uint8_t> key, size_t length = kWholeKey);
  // Keys between `low` (over `lowLength`) and `high` (over `highLength`), both included.
  int64_t countRange(std::span<const uint8_t> low, size_t lowLength, std::span<const uint8_t> high,
                     size_t highLength);
  int64_t positionOf(IndexEntryRef at);
  IndexEntryRef entryAt(int64_t position);

 private:
  struct Step {
    int32_t page;
    int index;
  };
  using Path = std::vector<Step>;
  enum class Bound { Lower, Upper };  // first entry >= key, first entry > key

  class OperationGuard;

  [[noreturn]] void corrupt() const;
  TIndexPage& treePage(int32_t number, bool root);
  TIndexPage& leafAt(IndexEntryRef at);
  Path descend(std::span<const uint8_t> key, size_t length, Bound bound);
  Path edgePath(bool rightmost);
  int64_t rankOf(const Path& path);
  int64_t walkCount(std::span<const uint8_t> key, size_t length, Bound bound);
  IndexEntryRef stepNext(TIndexPage& leaf);
  IndexEntryRef stepPrior(TIndexPage& leaf);
  void checkedLink(TIndexPage& from, TIndexPage& to, bool forward) const;

  void insertAt(Path& path, std::span<const uint8_t> key, int32_t row);
  void splitIfNeeded(Path& path, size_t level);
  void balanceCompressedSplit(TIndexPage& left, TIndexPage& right);
  void removeAt(Path& path);
  void removeFromInterior(Path& path, size_t level);
  void rebalance(Path& path, size_t level);
  void collapseRoot();
  void propagateFirstKey(const Path& path, size_t level);
  void adjustCounts(const Path& path, int delta);
  void unlink(TIndexPage& page);
  void setCount(TIndexPage& parent, int index, const TIndexPage& child);

  TIndexPageStore& store_;
  IndexDescriptor index_;
  IndexPageGeometry geometry_;
  const TKeyComparer& comparer_;
  std::string tableName_;
};

}  // namespace keel
