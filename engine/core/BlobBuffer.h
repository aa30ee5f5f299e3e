#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/core/BlobFormat.h"
#include "engine/core/FieldDescriptor.h"

namespace keel {

enum class BlobMode { Read, ReadWrite };

// One BLOB value opened by a cursor: the whole value in memory, the reference
// it came from, and how often it is open. Mode and size limits are checked
// by the cursor's TBlobBufferList, which owns the buffers.
class TBlobBuffer {
public:
  TBlobBuffer(const FieldDescriptor& field, BlobReference original, std::vector<std::uint8_t> value, BlobMode mode);

  const FieldDescriptor& field() const { return field_; }
  BlobReference original() const { return original_; }
  const std::vector<std::uint8_t>& value() const { return value_; }
  BlobMode mode() const { return mode_; }
  bool modified() const { return modified_; }
  std::uint32_t openCount() const { return openCount_; }

  // Bytes copied: fewer than out.size() at the end of the value, 0 past it.
  std::size_t read(std::uint64_t offset, std::span<std::uint8_t> out) const;
  // Grows the value as needed; a gap before `offset` is filled with zeros.
  void write(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  // Cuts the value, or extends it with zeros.
  void resize(std::uint64_t size);

  // The row slot's chain the value is written into at post.
  void setOriginal(BlobReference original) { original_ = original; }
  void addOpen(BlobMode mode);
  void releaseOpen() { --openCount_; }

private:
  FieldDescriptor field_;
  BlobReference original_;
  std::vector<std::uint8_t> value_;
  BlobMode mode_;
  bool modified_ = false;
  std::uint32_t openCount_ = 1;
};

}  // namespace keel
