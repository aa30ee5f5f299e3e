#include "engine/core/KeyBuilder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "engine/core/ByteOrder.h"
#include "engine/core/ErrorCodes.h"

namespace keel {
namespace {

void StoreBigEndian(uint8_t* out, uint64_t value, size_t width) {
  for (size_t i = 0; i < width; ++i) out[i] = static_cast<uint8_t>(value >> (8 * (width - 1 - i)));
}

// Two's complement value of `width` bytes with its top bit flipped: negative
// numbers then order below positive ones as unsigned bytes.
void StoreSigned(uint8_t* out, uint64_t twosComplement, size_t width) {
  StoreBigEndian(out, twosComplement ^ (uint64_t{1} << (8 * width - 1)), width);
}

void StoreDouble(uint8_t* out, double value) {
  uint64_t bits = std::bit_cast<uint64_t>(value);
  bits = value >= 0 ? bits | (uint64_t{1} << 63) : ~bits;
  StoreBigEndian(out, bits, 8);
}

// The packed-decimal record of a BCD field as a count of ten-thousandths,
// cut towards zero beyond four decimals and held at the int64 limits.
int64_t BcdToCurrency(const uint8_t* bcd) {
  const size_t digits = std::min<size_t>(bcd[0], 64);
  const bool negative = (bcd[1] & 0x80) != 0;
  const int scale = bcd[1] & 0x3F;
  constexpr uint64_t kLimit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  uint64_t magnitude = 0;
  auto push = [&](unsigned digit) {
    magnitude = magnitude > (kLimit - digit) / 10 ? kLimit : magnitude * 10 + digit;
  };
  const size_t kept = scale > 4 ? (digits > size_t(scale - 4) ? digits - (scale - 4) : 0) : digits;
  for (size_t i = 0; i < kept; ++i) {
    const uint8_t byte = bcd[2 + i / 2];
    push(i % 2 == 0 ? byte >> 4 : byte & 0x0F);
  }
  for (int i = scale; i < 4; ++i) push(0);
  return negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
}

}  // namespace

KeyBuffer TKeyBuilder::build(std::span<const uint8_t> row) const {
  // A row shorter than its fields can only come from a damaged table.
  if (row.size() < layout_.rowSpan()) raise(ErrorCode::KEEL_FILECORRUPT);
  KeyBuffer key(layout_.keySize(), 0);
  for (const KeySegment& s : layout_.segments()) {
    uint8_t* out = key.data() + s.keyOffset;
    if (s.system) {
      out[0] = 1;
      encodeValue(s, row.data() + s.rowOffset, out + 1);
    } else if (row[s.rowOffset] != 0) {
      out[0] = 1;
      encodeValue(s, row.data() + s.rowOffset + 1, out + 1);
    }
  }
  if (layout_.suffixSize() > 0) {
    constexpr size_t kRecordIdAt = 5;
    StoreSigned(key.data() + key.size() - 4, LoadU32(row.data() + kRecordIdAt), 4);
  }
  return key;
}

void TKeyBuilder::encodeValue(const KeySegment& s, const uint8_t* value, uint8_t* out) const {
  switch (s.type) {
    case FieldType::String:
      if (s.subtype == FieldSubtype::WideString) {
        std::memcpy(out, value, s.length);
      } else {
        const auto* end = std::find(value, value + s.length, uint8_t{0});
        std::copy(value, end, out);
        if (layout_.caseInsensitive()) {
          std::transform(out, out + (end - value), out,
                         [&](uint8_t c) { return layout_.collation().upper(c); });
        }
      }
      return;
    case FieldType::Integer:
    case FieldType::Date:
    case FieldType::Time:
      StoreSigned(out, LoadU32(value), 4);
      return;
    case FieldType::SmallInt:
      StoreSigned(out, LoadU16(value), 2);
      return;
    case FieldType::Boolean:
    case FieldType::Word:
      StoreBigEndian(out, LoadU16(value), 2);
      return;
    case FieldType::LargeInt:
      StoreSigned(out, LoadU64(value), 8);
      return;
    case FieldType::Bcd:
      StoreSigned(out, static_cast<uint64_t>(BcdToCurrency(value)), 8);
      return;
    case FieldType::Float:
    case FieldType::Timestamp:
      StoreDouble(out, LoadF64(value));
      return;
    default:
      std::memcpy(out, value, s.length);
      return;  // bytes, variable bytes, RecordHash
  }
}

void TKeyBuilder::fillRangeStart(KeyBuffer& key, size_t from) const {
  fill(key, from, false);
}
void TKeyBuilder::fillRangeEnd(KeyBuffer& key, size_t from) const {
  fill(key, from, true);
}

void TKeyBuilder::fill(KeyBuffer& key, size_t from, bool high) const {
  for (const KeySegment& s : layout_.segments()) {
    const bool segmentHigh = high != s.descending;
    for (size_t at = std::max<size_t>(from, s.keyOffset); at < s.end(); ++at) {
      const bool stringValue = s.collated && at > s.keyOffset;
      key[at] = !segmentHigh ? 0x00 : (stringValue ? layout_.collation().highestChar() : 0xFF);
    }
  }
  for (size_t at = std::max(from, key.size() - layout_.suffixSize()); at < key.size(); ++at) {
    key[at] = high ? 0xFF : 0x00;
  }
}

}  // namespace keel
