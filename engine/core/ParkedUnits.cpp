#include "engine/core/ParkedUnits.h"

#include <algorithm>
#include <cstring>

#include "engine/core/ZeroRuns.h"

namespace keel {

namespace {

uint32_t SizeAt(const uint8_t* image) {
  uint32_t size = 0;
  std::memcpy(&size, image, sizeof size);
  return size;
}

}  // namespace

uint8_t* TParkedUnits::imageOf(int64_t unit) const {
  if (unit < first_ || unit - first_ >= static_cast<int64_t>(slots_.size())) return nullptr;
  return slots_[static_cast<size_t>(unit - first_)];
}

uint8_t*& TParkedUnits::slotOf(int64_t unit) {
  if (slots_.empty()) first_ = unit;
  if (unit < first_) {
    slots_.insert(slots_.begin(), static_cast<size_t>(first_ - unit), nullptr);
    first_ = unit;
  }
  const auto index = static_cast<size_t>(unit - first_);
  if (index >= slots_.size()) slots_.resize(index + 1, nullptr);
  return slots_[index];
}

// A new image no larger than the unit's last one takes its place; a larger one
// is added and the last one's room stays spent until the file is emptied.
bool TParkedUnits::park(int64_t unit, std::span<const uint8_t> image, size_t budgetBytes) {
  const size_t bound = kSizeBytes + SqueezedBound(image.size());
  if (!images_) images_.emplace(std::max(kChunkBytes, bound));
  // Units of a file are one size; one that would not fit goes to the file.
  if (bound > images_->chunkBytes()) {
    forget(unit);
    return false;
  }
  uint8_t* const room = images_->room(bound);
  const auto size = static_cast<uint32_t>(SqueezeZeros(image, room + kSizeBytes) - (room + kSizeBytes));
  std::memcpy(room, &size, sizeof size);
  uint8_t* const older = imageOf(unit);
  if (older != nullptr && SizeAt(older) >= size) {
    std::memcpy(older, room, kSizeBytes + size);
    return true;
  }
  const size_t added = size + (older == nullptr ? kOverheadBytes : 0);
  if (imageBytes_ + parked_ * kOverheadBytes + added > budgetBytes) {
    forget(unit);
    return false;
  }
  images_->commit(kSizeBytes + size);
  imageBytes_ += size;
  if (older == nullptr) ++parked_;
  slotOf(unit) = room;
  return true;
}

bool TParkedUnits::restore(int64_t unit, std::span<uint8_t> image) const {
  const uint8_t* const parked = imageOf(unit);
  if (parked == nullptr) return false;
  RestoreZeros({parked + kSizeBytes, SizeAt(parked)}, image);
  return true;
}

void TParkedUnits::forget(int64_t unit) {
  if (imageOf(unit) == nullptr) return;
  slotOf(unit) = nullptr;
  --parked_;
}

void TParkedUnits::clear() {
  slots_.clear();
  if (images_) images_->rewind();
  imageBytes_ = 0;
  parked_ = 0;
}

}  // namespace keel
