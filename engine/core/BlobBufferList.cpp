#include "engine/core/BlobBufferList.h"

#include <atomic>
#include <limits>


namespace keel {
namespace {

constexpr int kSlotBits = 8;  // slots 1..128 after the +1
constexpr std::int64_t kMaxListId = (std::int64_t{1} << (31 - kSlotBits)) - 1;
constexpr std::uint64_t kMaxStoredLength = std::numeric_limits<std::int32_t>::max();

std::int32_t nextListId() {
  static std::atomic<std::int64_t> counter{0};
  return static_cast<std::int32_t>(counter.fetch_add(1) % kMaxListId + 1);
}

}  // namespace

TBlobBufferList::TBlobBufferList(TBlobFile& file, StampSource nextStamp)
    : file_(&file), nextStamp_(std::move(nextStamp)), handleBase_(nextListId() << kSlotBits) {}

[[noreturn]] void TBlobBufferList::fail(ErrorCode code) const { raise(code, {.table = file_->tableName()}); }

std::int32_t TBlobBufferList::handleOf(std::size_t slot) const {
  return -(handleBase_ | static_cast<std::int32_t>(slot + 1));
}

std::optional<std::size_t> TBlobBufferList::slotOf(std::int32_t handle) const {
  const std::int64_t code = -static_cast<std::int64_t>(handle);
  if (code <= 0 || (code & ~std::int64_t{0xFF}) != handleBase_) return std::nullopt;
  const std::int64_t slot = (code & 0xFF) - 1;
  if (slot < 0 || slot >= static_cast<std::int64_t>(kMaxOpen)) return std::nullopt;
  return static_cast<std::size_t>(slot);
}

TBlobBuffer& TBlobBufferList::buffer(std::int32_t handle) const {
  const auto slot = slotOf(handle);
  if (!slot || !buffers_[*slot]) fail(ErrorCode::KEEL_INVALIDBLOBHANDLE);
  return *buffers_[*slot];
}

TBlobBuffer& TBlobBufferList::writableBuffer(std::int32_t handle) const {
  TBlobBuffer& found = buffer(handle);
  if (found.mode() != BlobMode::ReadWrite) fail(ErrorCode::KEEL_OSEACCES);
  return found;
}

// The buffer whose handle `row` holds for `field`; nullptr when the row holds
// a block number. A handle that is not one of ours gives 9998.
TBlobBuffer* TBlobBufferList::bufferInRow(std::span<const std::uint8_t> row, const FieldDescriptor& field) const {
  const BlobReference reference = ReadBlobReference(row, field, file_->tableName());
  if (reference.firstBlock >= 0) return nullptr;
  const auto slot = slotOf(reference.firstBlock);
  if (!slot || !buffers_[*slot] || buffers_[*slot]->field().offset != field.offset) {
    fail(ErrorCode::KEEL_INVALIDBLOBOFFSET);
  }
  return buffers_[*slot].get();
}

std::size_t TBlobBufferList::openValues() const {
  std::size_t count = 0;
  for (const auto& held : buffers_) count += held ? 1 : 0;
  return count;
}

std::uint64_t TBlobBufferList::open(const FieldDescriptor& field, std::span<std::uint8_t> row, BlobMode mode,
                                    const RowReloader& reload) {
  if (TBlobBuffer* already = bufferInRow(row, field)) {
    already->addOpen(mode);
    return already->value().size();
  }
  std::size_t slot = 0;
  while (slot < kMaxOpen && buffers_[slot]) ++slot;
  if (slot == kMaxOpen) fail(ErrorCode::KEEL_OPENBLOBLIMIT);

  std::vector<std::uint8_t> value = ReadBlobValue(*file_, field, row, reload);
  const BlobReference reference = ReadBlobReference(row, field, file_->tableName());
  buffers_[slot] = std::make_unique<TBlobBuffer>(field, reference, std::move(value), mode);
  WriteBlobReference(row, field, {handleOf(slot), reference.stamp}, file_->tableName());
  return buffers_[slot]->value().size();
}

std::size_t TBlobBufferList::read(std::int32_t handle, std::uint64_t offset, std::span<std::uint8_t> out) const {
  return buffer(handle).read(offset, out);
}

void TBlobBufferList::write(std::int32_t handle, std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  TBlobBuffer& target = writableBuffer(handle);
  if (offset > kMaxStoredLength || bytes.size() > kMaxStoredLength - offset) fail(ErrorCode::KEEL_INVALIDBLOBLEN);
  target.write(offset, bytes);
}

void TBlobBufferList::truncate(std::int32_t handle, std::uint64_t size) {
  TBlobBuffer& target = writableBuffer(handle);
  if (size > kMaxStoredLength) fail(ErrorCode::KEEL_INVALIDBLOBLEN);
  target.resize(size);
}

std::uint64_t TBlobBufferList::size(std::int32_t handle) const { return buffer(handle).value().size(); }

void TBlobBufferList::drop(TBlobBuffer& dropped, std::span<std::uint8_t> row, BlobReference reference) {
  WriteBlobReference(row, dropped.field(), reference, file_->tableName());
  for (auto& held : buffers_) {
    if (held.get() == &dropped) held.reset();
  }
}

void TBlobBufferList::free(std::int32_t handle, std::span<std::uint8_t> row) {
  TBlobBuffer& freed = buffer(handle);
  if (freed.openCount() == 0) fail(ErrorCode::KEEL_INVALIDBLOBHANDLE);
  if (bufferInRow(row, freed.field()) != &freed) fail(ErrorCode::KEEL_INVALIDBLOBOFFSET);
  freed.releaseOpen();
  if (freed.openCount() == 0 && !freed.modified()) drop(freed, row, freed.original());
}

void TBlobBufferList::post(std::span<const FieldDescriptor> fields, std::span<std::uint8_t> row) {
  for (const FieldDescriptor& field : fields) {
    if (!field.isBlob()) continue;
    TBlobBuffer* posted = bufferInRow(row, field);
    if (!posted) continue;
    if (posted->modified()) {
      WriteBlobValue(*file_, field, row, posted->original(), posted->value(), nextStamp_());
      drop(*posted, row, ReadBlobReference(row, field, file_->tableName()));
    } else {
      drop(*posted, row, posted->original());
    }
  }
}

void TBlobBufferList::adoptSlotChains(std::span<const FieldDescriptor> fields, std::span<std::uint8_t> row,
                                      std::span<const std::uint8_t> slotRow) {
  for (const FieldDescriptor& field : fields) {
    if (!field.isBlob()) continue;
    const BlobReference slotChain = ReadBlobReference(slotRow, field, file_->tableName());
    if (TBlobBuffer* open = bufferInRow(row, field)) {
      open->setOriginal(slotChain);
    } else {
      WriteBlobReference(row, field, slotChain, file_->tableName());
    }
  }
}

void TBlobBufferList::cancel(std::span<const FieldDescriptor> fields, std::span<std::uint8_t> row) {
  for (const FieldDescriptor& field : fields) {
    if (!field.isBlob()) continue;
    if (TBlobBuffer* cancelled = bufferInRow(row, field)) drop(*cancelled, row, cancelled->original());
  }
}

}  // namespace keel
