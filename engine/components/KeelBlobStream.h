#pragma once

// A stream over one BLOB value of a dataset's record. A reading stream holds
// the value as it was read; a writing stream works on the record's changed
// value, which the dataset writes when the record is posted and drops when it
// is cancelled.

#include <cstdint>
#include <memory>
#include <span>

#include "engine/core/BlobBuffer.h"

namespace keel {

enum class TBlobStreamMode { bmRead, bmWrite, bmReadWrite };
enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TKeelBlobStream {
 public:
  TKeelBlobStream(std::shared_ptr<TBlobBuffer> value, bool writable, std::string fieldName);

  // Bytes copied from the position on; fewer at the end of the value.
  size_t Read(std::span<uint8_t> out);
  // Grows the value as needed.
  void Write(std::span<const uint8_t> bytes);
  // The new position; never below 0.
  uint64_t Seek(int64_t offset, TSeekOrigin origin);
  uint64_t Position() const { return position_; }
  uint64_t Size() const { return value_->value().size(); }
  // Cuts or extends (with zeros) the value.
  void SetSize(uint64_t size);

 private:
  void checkWritable() const;

  std::shared_ptr<TBlobBuffer> value_;
  bool writable_;
  std::string fieldName_;
  uint64_t position_ = 0;
};

}  // namespace keel
