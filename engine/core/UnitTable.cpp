#include "engine/core/UnitTable.h"

namespace keel {

// Fibonacci hashing: consecutive units land far apart.
size_t TUnitTable::home(int64_t unit) const {
  return static_cast<size_t>((static_cast<uint64_t>(unit) * 0x9E3779B97F4A7C15ull) >> shift_);
}

size_t TUnitTable::slotOf(int64_t unit) const {
  if (slots_.empty()) return 0;
  const size_t mask = slots_.size() - 1;
  for (size_t i = home(unit);; i = (i + 1) & mask) {
    if (!slots_[i]) return slots_.size();
    if (slots_[i]->unit() == unit) return i;
  }
}

TBuffer* TUnitTable::find(int64_t unit) const {
  const size_t i = slotOf(unit);
  return i < slots_.size() ? slots_[i].get() : nullptr;
}

void TUnitTable::insert(std::unique_ptr<TBuffer> buffer) {
  if ((size_ + 1) * 2 > slots_.size()) grow();
  const size_t mask = slots_.size() - 1;
  size_t i = home(buffer->unit());
  while (slots_[i]) i = (i + 1) & mask;
  slots_[i] = std::move(buffer);
  ++size_;
}

// Backward-shift deletion: every unit after the freed slot in its probe run
// moves up when its home does not lie between the gap and itself, so that
// no run is broken and no tombstones pile up.
std::unique_ptr<TBuffer> TUnitTable::take(int64_t unit) {
  size_t gap = slotOf(unit);
  if (gap >= slots_.size()) return nullptr;
  std::unique_ptr<TBuffer> taken = std::move(slots_[gap]);
  --size_;
  const size_t mask = slots_.size() - 1;
  for (size_t i = (gap + 1) & mask; slots_[i]; i = (i + 1) & mask) {
    const size_t h = home(slots_[i]->unit());
    const bool stays = gap <= i ? (gap < h && h <= i) : (gap < h || h <= i);
    if (stays) continue;
    slots_[gap] = std::move(slots_[i]);
    gap = i;
  }
  return taken;
}

void TUnitTable::grow() {
  std::vector<std::unique_ptr<TBuffer>> old = std::move(slots_);
  const size_t size = old.empty() ? 16 : old.size() * 2;
  slots_ = std::vector<std::unique_ptr<TBuffer>>(size);
  shift_ = 64;
  for (size_t n = size; n > 1; n >>= 1) --shift_;
  size_ = 0;
  for (auto& buffer : old) {
    if (buffer) insert(std::move(buffer));
  }
}

}  // namespace keel
