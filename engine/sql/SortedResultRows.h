#pragma once

// Result rows of an ordered SELECT held back and appended in the order of the
// result's index, so that reading the result in that order reads its rows
// front to back. Rows are held with their zero runs squeezed out (fixed-width
// texts are mostly zeros) up to a budget; a full holder appends what it has
// and starts again, which keeps rows of equal keys in the order they came.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/core/ChunkedBytes.h"
#include "engine/core/DataCursor.h"
#include "engine/core/KeyBuilder.h"

namespace keel {

class TSortedResultRows {
 public:
  static constexpr size_t kBudgetBytes = 64 << 20;

  // `result` (in its primary order) receives the rows.
  explicit TSortedResultRows(TDataCursor& result, size_t budgetBytes = kBudgetBytes);

  void Add(std::span<const uint8_t> row, TDataCursor::BlobValues blobs);
  // Appends every held row, in key order, to the result.
  void Flush();

 private:
  static constexpr size_t kNoBlobs = SIZE_MAX;
  // A held row: its key, followed in the same chunk by its squeezed image.
  struct THeld {
    uint64_t Prefix;
    const uint8_t* Key;
    size_t KeySize;
    size_t PackedSize;
    size_t Blobs;  // into blobs_, or kNoBlobs
  };

  static constexpr size_t kChunkBytes = 1 << 20;

  static constexpr size_t kPrefetchRows = 8;

  void sortHeld();
  void sortHeldByPrefix();
  static void prefetch(const THeld& held);

  TDataCursor& result_;
  size_t budgetBytes_;
  TChunkedBytes images_;  // each row's key and squeezed image
  std::vector<THeld> held_;
  std::vector<TDataCursor::BlobValues> blobs_;
  size_t heldBytes_ = 0;
};

}  // namespace keel
