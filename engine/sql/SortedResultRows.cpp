#include "engine/sql/SortedResultRows.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "engine/core/DataTable.h"
#include "engine/core/IndexAccess.h"
#include "engine/core/ZeroRuns.h"

namespace keel {

namespace {

// The first eight key bytes as a number that orders as they do.
uint64_t KeyPrefix(std::span<const uint8_t> key) {
  uint64_t prefix = 0;
  for (size_t i = 0; i < sizeof prefix; ++i) prefix = prefix << 8 | (i < key.size() ? key[i] : 0);
  return prefix;
}

}  // namespace

// Every chunk has room for at least one row at its worst, so that all chunks
// can be one size.
TSortedResultRows::TSortedResultRows(TDataCursor& result, size_t budgetBytes)
    : result_(result),
      budgetBytes_(budgetBytes),
      images_(std::max<size_t>(kChunkBytes,
                               result.table().access(0).layout().keySize() + SqueezedBound(result.rowSize()))) {}

void TSortedResultRows::Add(std::span<const uint8_t> row, TDataCursor::BlobValues blobs) {
  const KeyBuffer key = result_.table().access(0).keys().build(row);
  uint8_t* const start = images_.room(key.size() + SqueezedBound(row.size()));
  std::memcpy(start, key.data(), key.size());
  uint8_t* const packed = start + key.size();
  const uint8_t* const end = SqueezeZeros(row, packed);
  images_.commit(static_cast<size_t>(end - start));
  heldBytes_ += static_cast<size_t>(end - start) + sizeof(THeld);
  THeld held{.Prefix = KeyPrefix(key),
             .Key = start,
             .KeySize = key.size(),
             .PackedSize = static_cast<size_t>(end - packed),
             .Blobs = kNoBlobs};
  if (!blobs.empty()) {
    for (const auto& [field, value] : blobs) heldBytes_ += value.size();
    held.Blobs = blobs_.size();
    blobs_.push_back(std::move(blobs));
  }
  held_.push_back(held);
  if (heldBytes_ >= budgetBytes_) Flush();
}

void TSortedResultRows::Flush() {
  sortHeld();
  std::vector<uint8_t> row(result_.rowSize());
  const TDataCursor::BlobValues none;
  for (size_t i = 0; i < held_.size(); ++i) {
    if (i + kPrefetchRows < held_.size()) prefetch(held_[i + kPrefetchRows]);
    const THeld& held = held_[i];
    RestoreZeros({held.Key + held.KeySize, held.PackedSize}, row);
    result_.append(row, held.Blobs == kNoBlobs ? none : blobs_[held.Blobs]);
  }
  held_.clear();
  blobs_.clear();
  heldBytes_ = 0;
  images_.rewind();
}

// The rows are not numbered yet, so keys differ only in the ordered columns;
// a stable sort keeps equal ones in the order they came, as the record
// numbers they get now will.
void TSortedResultRows::sortHeld() {
  const TKeyComparer& comparer = result_.table().access(0).comparer();
  const auto before = [&](const THeld& a, const THeld& b) {
    return comparer.compare({a.Key, a.KeySize}, {b.Key, b.KeySize}) < 0;
  };
  if (!comparer.bytewise()) {
    std::stable_sort(held_.begin(), held_.end(), before);
    return;
  }
  // Bytewise keys are mostly told apart by their first bytes, held with the
  // row; only rows whose first bytes are equal need their whole keys.
  sortHeldByPrefix();
  const auto prefixChanges = [](const THeld& a, const THeld& b) { return a.Prefix != b.Prefix; };
  for (auto group = held_.begin(); group != held_.end();) {
    const auto end = std::adjacent_find(group, held_.end(), prefixChanges);
    const auto next = end == held_.end() ? end : end + 1;
    if (!std::is_sorted(group, next, before)) std::stable_sort(group, next, before);
    group = next;
  }
}

// A stable radix sort, a byte at a time from the last, over the bytes in
// which prefixes differ at all (a date's key, say, differs in two or three):
// its time grows with the rows alone, where comparing sorts grow faster and
// miss the processor's caches once the rows outgrow them.
void TSortedResultRows::sortHeldByPrefix() {
  if (held_.empty()) return;
  uint64_t differing = 0;
  for (const THeld& held : held_) differing |= held.Prefix ^ held_.front().Prefix;
  std::vector<THeld> sorted(held_.size());
  for (int shift = 0; shift < 64; shift += 8) {
    if (((differing >> shift) & 0xFF) == 0) continue;
    std::array<size_t, 257> starts{};
    for (const THeld& held : held_) ++starts[((held.Prefix >> shift) & 0xFF) + 1];
    for (size_t digit = 1; digit < starts.size(); ++digit) starts[digit] += starts[digit - 1];
    for (const THeld& held : held_) sorted[starts[(held.Prefix >> shift) & 0xFF]++] = held;
    held_.swap(sorted);
  }
}

// Sorted, the held images are read in an order unrelated to where they lie;
// once they outgrow the processor's caches each would stall the appends while
// it comes from memory, so it is asked for a few rows ahead.
void TSortedResultRows::prefetch(const THeld& held) {
  constexpr size_t kCacheLineBytes = 64;
  const size_t bytes = held.KeySize + held.PackedSize;
  for (size_t offset = 0; offset < bytes; offset += kCacheLineBytes) __builtin_prefetch(held.Key + offset);
}

}  // namespace keel
