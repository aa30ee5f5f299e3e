#include "engine/core/KeyComparer.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace keel {
namespace {

int Bytewise(const uint8_t* a, const uint8_t* b, size_t n) {
  const int r = n == 0 ? 0 : std::memcmp(a, b, n);
  return (r > 0) - (r < 0);
}

// The zero-terminated text of at most `room` bytes.
std::string_view Text(const uint8_t* p, size_t room) {
  const auto* end = std::find(p, p + room, uint8_t{0});
  return {reinterpret_cast<const char*>(p), static_cast<size_t>(end - p)};
}

}  // namespace

TKeyComparer::TKeyComparer(const TKeyLayout& layout) : layout_(layout) {
  for (const KeySegment& s : layout_.segments()) bytewise_ = bytewise_ && !s.collated && !s.descending;
}

int TKeyComparer::compare(std::span<const uint8_t> a, std::span<const uint8_t> b, size_t length) const {
  const size_t limit = std::min(length, layout_.keySize());
  if (bytewise_) return Bytewise(a.data(), b.data(), limit);
  for (const KeySegment& s : layout_.segments()) {
    if (s.keyOffset >= limit) return 0;
    const size_t n = std::min(s.end(), limit) - s.keyOffset;
    const uint8_t* pa = a.data() + s.keyOffset;
    const uint8_t* pb = b.data() + s.keyOffset;
    int r = Bytewise(pa, pb, 1);
    if (r == 0) {
      r = s.collated ? layout_.collation().compare(Text(pa + 1, n - 1), Text(pb + 1, n - 1))
                     : Bytewise(pa + 1, pb + 1, n - 1);
    }
    if (r != 0) return s.descending ? -r : r;
  }
  const size_t suffixAt = layout_.keySize() - layout_.suffixSize();
  return suffixAt >= limit ? 0 : Bytewise(a.data() + suffixAt, b.data() + suffixAt, limit - suffixAt);
}

}  // namespace keel
