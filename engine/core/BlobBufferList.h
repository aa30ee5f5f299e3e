#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "engine/core/BlobBuffer.h"
#include "engine/core/BlobFile.h"
#include "engine/core/BlobRow.h"
#include "engine/core/ErrorCodes.h"
#include "engine/core/FieldDescriptor.h"

namespace keel {

// The BLOB values one cursor has open. Opening a value reads it whole and puts
// a handle (a negative number) into the row buffer's reference; posting the
// row writes the changed values and puts real references back; cancelling
// puts the original references back without writing.
//
// Handles are unique per list, so a row buffer carrying another cursor's
// handle is told apart (9998) from an unknown or freed one (10030).
class TBlobBufferList {
public:
  static constexpr std::size_t kMaxOpen = 128;
  using RowReloader = BlobRowReloader;
  // Advances the table's LastBlobStamp and returns the new stamp.
  using StampSource = std::function<std::int32_t()>;

  TBlobBufferList(TBlobFile& file, StampSource nextStamp);

  // Opens BLOB `field` of `row` and returns the value's length. A value open
  // already is counted again under the same handle. 9494 past 128 open
  // values; 8708 when the row changed under us; 8963 when the stamp still
  // differs after re-reading the row; 15002 for a damaged compressed value.
  std::uint64_t open(const FieldDescriptor& field, std::span<std::uint8_t> row, BlobMode mode,
                     const RowReloader& reload = {});
  std::size_t read(std::int32_t handle, std::uint64_t offset, std::span<std::uint8_t> out) const;
  // Read-write opens only (11013 otherwise); 10029 past a stored length of 2^31 - 1.
  void write(std::int32_t handle, std::uint64_t offset, std::span<const std::uint8_t> bytes);
  void truncate(std::int32_t handle, std::uint64_t size);
  std::uint64_t size(std::int32_t handle) const;
  // Closes one open. At the last, an unchanged value is dropped and the row
  // gets its reference back; a changed one waits for post or cancel, so the
  // change is not lost.
  void free(std::int32_t handle, std::span<std::uint8_t> row);

  // Writes every changed value of `row` under a new stamp (compressed at the
  // field's level) into the BLOB file's cache, sets the null bytes (NULL =
  // empty) and drops the row's buffers. The caller writes back, as at the end
  // of every modifying operation.
  void post(std::span<const FieldDescriptor> fields, std::span<std::uint8_t> row);
  // A new row placed in a reused row slot takes over the slot's chains (first
  // block numbers and stamps, from `slotRow` as it was read) for its BLOB
  // values, also for values it has open, so that posting writes into them.
  // Call before post.
  void adoptSlotChains(std::span<const FieldDescriptor> fields, std::span<std::uint8_t> row,
                       std::span<const std::uint8_t> slotRow);
  // Drops the row's buffers and puts the original references back.
  void cancel(std::span<const FieldDescriptor> fields, std::span<std::uint8_t> row);

  std::size_t openValues() const;

private:
  std::optional<std::size_t> slotOf(std::int32_t handle) const;
  std::int32_t handleOf(std::size_t slot) const;
  TBlobBuffer& buffer(std::int32_t handle) const;
  TBlobBuffer& writableBuffer(std::int32_t handle) const;
  TBlobBuffer* bufferInRow(std::span<const std::uint8_t> row, const FieldDescriptor& field) const;
  void drop(TBlobBuffer& buffer, std::span<std::uint8_t> row, BlobReference reference);
  [[noreturn]] void fail(ErrorCode code) const;

  TBlobFile* file_;
  StampSource nextStamp_;
  std::int32_t handleBase_;
  std::array<std::unique_ptr<TBlobBuffer>, kMaxOpen> buffers_;
};

}  // namespace keel
