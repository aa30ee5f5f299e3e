#include "engine/components/KeelBlobStream.h"

#include <algorithm>

#include "engine/components/DatabaseError.h"

namespace keel {

TKeelBlobStream::TKeelBlobStream(std::shared_ptr<TBlobBuffer> value, bool writable, std::string fieldName)
    : value_(std::move(value)), writable_(writable), fieldName_(std::move(fieldName)) {}

void TKeelBlobStream::checkWritable() const {
  if (!writable_) DatabaseError(db_messages::kFieldReadOnly, {fieldName_});
}

size_t TKeelBlobStream::Read(std::span<uint8_t> out) {
  const size_t copied = value_->read(position_, out);
  position_ += copied;
  return copied;
}

void TKeelBlobStream::Write(std::span<const uint8_t> bytes) {
  checkWritable();
  value_->write(position_, bytes);
  position_ += bytes.size();
}

uint64_t TKeelBlobStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = static_cast<int64_t>(position_);
  if (origin == TSeekOrigin::soEnd) base = static_cast<int64_t>(Size());
  position_ = static_cast<uint64_t>(std::max<int64_t>(0, base + offset));
  return position_;
}

void TKeelBlobStream::SetSize(uint64_t size) {
  checkWritable();
  value_->resize(size);
  position_ = std::min(position_, size);
}

}  // namespace keel
