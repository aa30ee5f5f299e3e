#include "engine/core/IndexPage.h"

#include <algorithm>
#include <cstring>

#include "engine/core/ByteOrder.h"
#include "engine/core/ErrorCodes.h"

namespace keel {

namespace ph = index_layout::page;

namespace {
constexpr size_t kMaxPackRun = 254;  // d and t are bytes, and 255 is never used
}

IndexPageGeometry IndexPageGeometry::Of(const IndexDescriptor& index, size_t pageSize) {
  return {pageSize, index.keySize, index.suffixSize(), index.compression, index.keepsStatistics()};
}

size_t IndexPageGeometry::room() const {
  return pageSize - ph::kHeaderSize;
}

TIndexPage::TIndexPage(const IndexPageGeometry& geometry, int32_t number)
    : geometry_(geometry), number_(number) {}

int32_t TIndexPage::pointer(int i) const {
  return LoadI32(entry(i) + geometry_.keySize);
}
int32_t TIndexPage::subtreeCount(int i) const {
  return LoadI32(entry(i) + geometry_.keySize + 4);
}

void TIndexPage::setKey(int i, std::span<const uint8_t> key) {
  const bool track = packingKnown_ && packsEntries();
  if (track) packedBytes_ -= packedPairSize(i);
  std::memcpy(entry(i), key.data(), geometry_.keySize);
  if (track) packedBytes_ += packPair(i);
}
void TIndexPage::setPointer(int i, int32_t value) {
  StoreI32(entry(i) + geometry_.keySize, value);
}
void TIndexPage::setSubtreeCount(int i, int32_t value) {
  StoreI32(entry(i) + geometry_.keySize + 4, value);
}

void TIndexPage::insert(int i, std::span<const uint8_t> key, int32_t pointer, int32_t subtreeCount) {
  const bool track = packingKnown_ && packsEntries();
  if (track && i < count()) packedBytes_ -= packedEntrySize(i);  // its d changes with a new neighbour
  entries_.insert(entries_.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(i) * stride()), stride(), 0);
  std::memcpy(entry(i), key.data(), geometry_.keySize);
  setPointer(i, pointer);
  setSubtreeCount(i, subtreeCount);
  if (track) packedBytes_ += packPair(i);
}

void TIndexPage::erase(int i) {
  const bool track = packingKnown_ && packsEntries();
  if (track) packedBytes_ -= packedPairSize(i);
  const auto at = entries_.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(i) * stride());
  entries_.erase(at, at + static_cast<ptrdiff_t>(stride()));
  if (track && i < count()) packedBytes_ += packEntry(i);
}

void TIndexPage::moveTailTo(int from, TIndexPage& dest) {
  const auto at = entries_.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(from) * stride());
  dest.entries_.insert(dest.entries_.begin(), at, entries_.end());
  entries_.erase(at, entries_.end());
  packingKnown_ = dest.packingKnown_ = false;
}

void TIndexPage::moveHeadTo(int n, TIndexPage& dest) {
  const auto end = entries_.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(n) * stride());
  dest.entries_.insert(dest.entries_.end(), entries_.begin(), end);
  entries_.erase(entries_.begin(), end);
  packingKnown_ = dest.packingKnown_ = false;
}

void TIndexPage::makeFree(int32_t nextFree) {
  entries_.clear();
  packingKnown_ = false;
  next_ = nextFree;
}

int64_t TIndexPage::keyCount() const {
  if (isLeaf()) return count();
  int64_t total = 0;
  for (int i = 0; i < count(); ++i) total += subtreeCount(i);
  return total;
}

bool TIndexPage::fits() {
  if (!isLeaf()) return static_cast<size_t>(count()) <= geometry_.interiorCapacity();
  if (!geometry_.compressesLeaves()) return static_cast<size_t>(count()) <= geometry_.leafCapacity();
  return packedSize() <= geometry_.room();
}

// d: leading bytes equal to the previous key on the page; t: zero bytes
// dropped before the RecordID suffix (or at the end of a unique key), never
// reaching into the first d bytes.
size_t TIndexPage::packEntry(int i) {
  const size_t k = geometry_.keySize;
  const size_t s = geometry_.suffixSize;
  const auto mode = geometry_.compression;
  const bool useD = mode == IndexCompression::icDuplicateByte || mode == IndexCompression::icFull;
  const bool useT = mode == IndexCompression::icTrailingByte || mode == IndexCompression::icFull;
  uint8_t* e = entry(i);
  size_t d = 0;
  if (useD && i > 0) {
    const uint8_t* prev = entry(i - 1);
    while (d < k && d < kMaxPackRun && e[d] == prev[d]) ++d;
  }
  size_t t = 0;
  if (useT && k >= s + d) {
    const size_t limit = std::min(kMaxPackRun, k - s - d);
    while (t < limit && e[k - s - 1 - t] == 0) ++t;
  }
  e[k + 8] = static_cast<uint8_t>(d);
  e[k + 9] = static_cast<uint8_t>(t);
  return packedEntrySize(i);
}

size_t TIndexPage::packedPairSize(int i) const {
  size_t size = 0;
  for (int j = i; j < std::min(i + 2, count()); ++j) size += packedEntrySize(j);
  return size;
}

size_t TIndexPage::packPair(int i) {
  size_t size = 0;
  for (int j = i; j < std::min(i + 2, count()); ++j) size += packEntry(j);
  return size;
}

size_t TIndexPage::packedEntrySize(int i) const {
  const uint8_t* e = entry(i);
  const size_t k = geometry_.keySize;
  const size_t d = e[k + 8];
  const size_t t = e[k + 9];
  switch (geometry_.compression) {
    case IndexCompression::icDuplicateByte:
      return k - d + 5;
    case IndexCompression::icTrailingByte:
      return k - t + 5;
    case IndexCompression::icFull:
      return k - d - t + 6;
    default:
      return k + 4;
  }
}

size_t TIndexPage::packedSize() {
  if (!packingKnown_) {
    packedBytes_ = 0;
    for (int i = 0; i < count(); ++i) packedBytes_ += packEntry(i);
    packingKnown_ = true;
  }
  return packedBytes_;
}

bool TIndexPage::decode(std::span<const uint8_t> disk) {
  if (disk.size() != geometry_.pageSize || disk[ph::kType] > static_cast<uint8_t>(IndexPageType::FullText)) {
    return false;
  }
  type_ = static_cast<IndexPageType>(disk[ph::kType]);
  const int n = LoadU16(disk.data() + ph::kCount);
  prev_ = LoadI32(disk.data() + ph::kPrev);
  next_ = LoadI32(disk.data() + ph::kNext);
  const size_t packedBytes = LoadU16(disk.data() + ph::kPackedBytes);
  entries_.clear();
  packingKnown_ = false;  // another writer may have packed less tightly
  if (n == 0) return true;
  if (type_ == IndexPageType::FullText) return false;  // word pages are never part of a tree
  if (packsEntries()) return decodePacked(disk, n, packedBytes);

  const size_t entrySize = isLeaf() ? geometry_.keySize + 4 : geometry_.interiorEntrySize();
  if (static_cast<size_t>(n) * entrySize > geometry_.room()) return false;
  entries_.assign(static_cast<size_t>(n) * stride(), 0);
  const uint8_t* p = disk.data() + ph::kHeaderSize;
  for (int i = 0; i < n; ++i, p += entrySize) std::memcpy(entry(i), p, entrySize);
  return true;
}

bool TIndexPage::decodePacked(std::span<const uint8_t> disk, int n, size_t packedBytes) {
  const size_t k = geometry_.keySize;
  const size_t s = geometry_.suffixSize;
  const auto mode = geometry_.compression;
  const bool hasD = mode == IndexCompression::icDuplicateByte || mode == IndexCompression::icFull;
  const bool hasT = mode == IndexCompression::icTrailingByte || mode == IndexCompression::icFull;
  if (packedBytes > geometry_.room()) return false;
  const uint8_t* p = disk.data() + ph::kHeaderSize;
  const uint8_t* end = p + packedBytes;
  entries_.assign(static_cast<size_t>(n) * stride(), 0);
  for (int i = 0; i < n; ++i) {
    const size_t header = (hasD ? 1 : 0) + (hasT ? 1 : 0);
    if (static_cast<size_t>(end - p) < header) return false;
    const size_t d = hasD ? *p++ : 0;
    const size_t t = hasT ? *p++ : 0;
    if ((i == 0 && d != 0) || d > k || (t > 0 && d + t + s > k)) return false;
    const size_t stored = k - d - t;
    if (static_cast<size_t>(end - p) < stored + 4) return false;
    uint8_t* e = entry(i);
    if (d > 0) std::memcpy(e, entry(i - 1), d);
    const size_t head = t > 0 ? stored - s : stored;  // bytes before the zeros
    std::memcpy(e + d, p, head);
    if (t > 0) std::memcpy(e + k - s, p + head, s);  // the RecordID suffix after the zeros
    p += stored;
    std::memcpy(e + k, p, 4);
    p += 4;
    e[k + 8] = static_cast<uint8_t>(d);
    e[k + 9] = static_cast<uint8_t>(t);
  }
  return p == end;
}

void TIndexPage::encode(std::span<uint8_t> disk) {
  // A page over capacity was never split: writing it would lose entries.
  if (disk.size() != geometry_.pageSize || !fits()) raise(ErrorCode::KEEL_INDEXCORRUPT);
  // fits() has worked out d and t of every entry of a packed leaf.
  std::fill(disk.begin(), disk.end(), uint8_t{0});
  disk[ph::kType] = static_cast<uint8_t>(type_);
  StoreU16(disk.data() + ph::kCount, static_cast<uint16_t>(count()));
  StoreI32(disk.data() + ph::kPrev, prev_);
  StoreI32(disk.data() + ph::kNext, next_);
  uint8_t* p = disk.data() + ph::kHeaderSize;
  if (!packsEntries()) {
    const size_t entrySize = isLeaf() ? geometry_.keySize + 4 : geometry_.interiorEntrySize();
    for (int i = 0; i < count(); ++i, p += entrySize) std::memcpy(p, entry(i), entrySize);
    return;
  }
  StoreU16(disk.data() + ph::kPackedBytes, static_cast<uint16_t>(packedSize()));
  const size_t k = geometry_.keySize;
  const size_t s = geometry_.suffixSize;
  const auto mode = geometry_.compression;
  for (int i = 0; i < count(); ++i) {
    const uint8_t* e = entry(i);
    const size_t d = e[k + 8];
    const size_t t = e[k + 9];
    if (mode == IndexCompression::icDuplicateByte || mode == IndexCompression::icFull)
      *p++ = static_cast<uint8_t>(d);
    if (mode == IndexCompression::icTrailingByte || mode == IndexCompression::icFull)
      *p++ = static_cast<uint8_t>(t);
    const size_t stored = k - d - t;
    const size_t head = t > 0 ? stored - s : stored;
    std::memcpy(p, e + d, head);
    if (t > 0) std::memcpy(p + head, e + k - s, s);
    p += stored;
    std::memcpy(p, e + k, 4);
    p += 4;
  }
}

}  // namespace keel
