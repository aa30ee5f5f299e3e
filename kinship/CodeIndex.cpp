#include "kinship/CodeIndex.h"

#include <algorithm>

namespace mindrel {

namespace {

// A table indexed by code pays when it is at most this many times larger
// than the number of codes (plus a little, for small trees).
constexpr std::int64_t kDenseFactor = 4;
constexpr std::int64_t kDenseSlack = 1024;

}  // namespace

TCodeIndex::TCodeIndex(std::span<const std::int32_t> codes) {
  if (!codes.empty()) {
    const auto [low, high] = std::minmax_element(codes.begin(), codes.end());
    low_ = *low;
    const std::int64_t range = std::int64_t{*high} - *low + 1;
    dense_ = range <= kDenseFactor * static_cast<std::int64_t>(codes.size()) + kDenseSlack;
    if (dense_) table_.assign(static_cast<std::size_t>(range), kNone);
  }
  codes_.reserve(codes.size());
  for (const std::int32_t code : codes) Insert(code);
}

std::uint32_t TCodeIndex::Insert(std::int32_t code) {
  const auto next = static_cast<std::uint32_t>(codes_.size());
  std::uint32_t* slot = nullptr;
  if (dense_) {
    slot = &table_[static_cast<std::size_t>(code - low_)];
    if (*slot == kNone) *slot = next;
  } else {
    slot = &map_.try_emplace(code, next).first->second;
  }
  if (*slot != next) {
    ++repeats_;
    return *slot;
  }
  codes_.push_back(code);
  return next;
}

std::uint32_t TCodeIndex::Find(std::int32_t code) const {
  if (dense_) {
    const std::int64_t at = std::int64_t{code} - low_;
    if (at < 0 || at >= static_cast<std::int64_t>(table_.size())) return kNone;
    return table_[static_cast<std::size_t>(at)];
  }
  const auto found = map_.find(code);
  return found == map_.end() ? kNone : found->second;
}

}  // namespace mindrel
