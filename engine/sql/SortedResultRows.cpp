#include "engine/sql/SortedResultRows.h"

#include <algorithm>
#include <cstring>

#include "engine/core/DataTable.h"
#include "engine/core/IndexAccess.h"

namespace keel {

namespace {

// Runs of [literal count (2 bytes)][literal bytes][zero count (2 bytes)].
std::vector<uint8_t> SqueezeZeros(std::span<const uint8_t> row) {
  std::vector<uint8_t> packed;
  packed.reserve(row.size() / 4);
  auto put16 = [&](size_t n) {
    packed.push_back(static_cast<uint8_t>(n & 0xFF));
    packed.push_back(static_cast<uint8_t>(n >> 8));
  };
  size_t at = 0;
  while (at < row.size()) {
    size_t literal = 0;
    while (at + literal < row.size() && literal < 0xFFFF && row[at + literal] != 0) ++literal;
    put16(literal);
    packed.insert(packed.end(), row.begin() + static_cast<std::ptrdiff_t>(at),
                  row.begin() + static_cast<std::ptrdiff_t>(at + literal));
    at += literal;
    size_t zeros = 0;
    while (at + zeros < row.size() && zeros < 0xFFFF && row[at + zeros] == 0) ++zeros;
    put16(zeros);
    at += zeros;
  }
  return packed;
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
  THeld held{result_.table().access(0).keys().build(row), SqueezeZeros(row), std::move(blobs)};
  heldBytes_ += held.Key.size() + held.Packed.size() + sizeof(THeld);
  for (const auto& [field, value] : held.Blobs) heldBytes_ += value.size();
  held_.push_back(std::move(held));
  if (heldBytes_ >= budgetBytes_) Flush();
}

// The rows are not numbered yet, so keys differ only in the ordered columns;
// a stable sort keeps equal ones in the order they came, as the record
// numbers they get now will.
void TSortedResultRows::Flush() {
  const TKeyComparer& comparer = result_.table().access(0).comparer();
  std::stable_sort(held_.begin(), held_.end(),
                   [&](const THeld& a, const THeld& b) { return comparer.compare(a.Key, b.Key) < 0; });
  std::vector<uint8_t> row(result_.rowSize());
  for (const THeld& held : held_) {
    RestoreZeros(held.Packed, row);
    result_.append(row, held.Blobs);
  }
  held_.clear();
  heldBytes_ = 0;
}

}  // namespace keel
