#include "engine/sql/SortedResultRows.h"

#include <algorithm>
#include <cstring>

#include "engine/core/DataTable.h"
#include "engine/core/IndexAccess.h"

namespace keel {

namespace {

// Runs of [literal count (2 bytes)][literal bytes][zero count (2 bytes)],
// appended to `out`. Zero runs are skipped a word at a time: most of a row is
// unused text space.
void SqueezeZeros(std::span<const uint8_t> row, std::vector<uint8_t>& out) {
  auto put16 = [&](size_t n) {
    out.push_back(static_cast<uint8_t>(n & 0xFF));
    out.push_back(static_cast<uint8_t>(n >> 8));
  };
  const uint8_t* const begin = row.data();
  const uint8_t* const end = begin + row.size();
  const uint8_t* at = begin;
  while (at < end) {
    const uint8_t* literalEnd = std::min(end, at + 0xFFFF);
    const void* zero = std::memchr(at, 0, static_cast<size_t>(literalEnd - at));
    if (zero != nullptr) literalEnd = static_cast<const uint8_t*>(zero);
    put16(static_cast<size_t>(literalEnd - at));
    out.insert(out.end(), at, literalEnd);
    at = literalEnd;
    const uint8_t* zerosEnd = std::min(end, at + 0xFFFF);
    const uint8_t* scan = at;
    uint64_t word = 0;
    while (scan + sizeof word <= zerosEnd && (std::memcpy(&word, scan, sizeof word), word == 0)) scan += sizeof word;
    while (scan < zerosEnd && *scan == 0) ++scan;
    put16(static_cast<size_t>(scan - at));
    at = scan;
  }
}

void RestoreZeros(std::span<const uint8_t> packed, std::span<uint8_t> row) {
  size_t in = 0;
  size_t out = 0;
  auto get16 = [&] {
    const size_t n = packed[in] | (static_cast<size_t>(packed[in + 1]) << 8);
    in += 2;
    return n;
  };
  while (in < packed.size()) {
    const size_t literal = get16();
    std::memcpy(row.data() + out, packed.data() + in, literal);
    in += literal;
    out += literal;
    const size_t zeros = get16();
    std::memset(row.data() + out, 0, zeros);
    out += zeros;
  }
}

}  // namespace

TSortedResultRows::TSortedResultRows(TDataCursor& result, size_t budgetBytes)
    : result_(result), budgetBytes_(budgetBytes) {}

void TSortedResultRows::Add(std::span<const uint8_t> row, TDataCursor::BlobValues blobs) {
  const KeyBuffer key = result_.table().access(0).keys().build(row);
  THeld held{.At = bytes_.size(), .KeySize = key.size(), .PackedSize = 0, .Blobs = kNoBlobs};
  bytes_.insert(bytes_.end(), key.begin(), key.end());
  SqueezeZeros(row, bytes_);
  held.PackedSize = bytes_.size() - held.At - held.KeySize;
  if (!blobs.empty()) {
    for (const auto& [field, value] : blobs) blobBytes_ += value.size();
    held.Blobs = blobs_.size();
    blobs_.push_back(std::move(blobs));
  }
  held_.push_back(held);
  if (bytes_.size() + blobBytes_ + held_.size() * sizeof(THeld) >= budgetBytes_) Flush();
}

// The rows are not numbered yet, so keys differ only in the ordered columns;
// a stable sort keeps equal ones in the order they came, as the record
// numbers they get now will.
void TSortedResultRows::Flush() {
  const TKeyComparer& comparer = result_.table().access(0).comparer();
  auto key = [&](const THeld& held) { return std::span<const uint8_t>(bytes_.data() + held.At, held.KeySize); };
  std::stable_sort(held_.begin(), held_.end(),
                   [&](const THeld& a, const THeld& b) { return comparer.compare(key(a), key(b)) < 0; });
  std::vector<uint8_t> row(result_.rowSize());
  const TDataCursor::BlobValues none;
  for (const THeld& held : held_) {
    RestoreZeros({bytes_.data() + held.At + held.KeySize, held.PackedSize}, row);
    result_.append(row, held.Blobs == kNoBlobs ? none : blobs_[held.Blobs]);
  }
  held_.clear();
  bytes_.clear();
  blobs_.clear();
  blobBytes_ = 0;
}

}  // namespace keel
