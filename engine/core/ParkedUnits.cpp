#include "engine/core/ParkedUnits.h"

#include "engine/core/ZeroRuns.h"

namespace keel {

bool TParkedUnits::park(int64_t unit, std::span<const uint8_t> image, size_t budgetBytes) {
  scratch_.resize(SqueezedBound(image.size()));
  const size_t size = static_cast<size_t>(SqueezeZeros(image, scratch_.data()) - scratch_.data());
  auto found = units_.find(unit);
  const size_t before = found == units_.end() ? 0 : found->second.size() + kOverheadBytes;
  if (bytes_ - before + size + kOverheadBytes > budgetBytes) {
    forget(unit);
    return false;
  }
  if (found == units_.end()) found = units_.try_emplace(unit).first;
  found->second.assign(scratch_.data(), scratch_.data() + size);
  bytes_ = bytes_ - before + size + kOverheadBytes;
  return true;
}

bool TParkedUnits::restore(int64_t unit, std::span<uint8_t> image) const {
  if (units_.empty()) return false;
  const auto found = units_.find(unit);
  if (found == units_.end()) return false;
  RestoreZeros(found->second, image);
  return true;
}

void TParkedUnits::forget(int64_t unit) {
  if (units_.empty()) return;
  const auto found = units_.find(unit);
  if (found == units_.end()) return;
  bytes_ -= found->second.size() + kOverheadBytes;
  units_.erase(found);
}

void TParkedUnits::clear() {
  units_.clear();
  bytes_ = 0;
}

}  // namespace keel
