#include "engine/core/FieldDescriptor.h"

#include <algorithm>

#include "engine/core/ByteOrder.h"

namespace keel {

namespace {

// Byte offsets inside the descriptor.
constexpr size_t kNumberAt = 0;
constexpr size_t kNameAt = 2, kNameWidth = 61;
constexpr size_t kDescriptionAt = 63, kTextWidth = 101;
constexpr size_t kTypeAt = 164;
constexpr size_t kSubtypeAt = 165;
constexpr size_t kSizeAt = 166;
constexpr size_t kDecimalsAt = 168;
constexpr size_t kDataLengthAt = 169;
constexpr size_t kStoredDecimalsAt = 171;
constexpr size_t kOffsetAt = 172;
constexpr size_t kRequiredAt = 174;
constexpr size_t kCharCaseAt = 175;
constexpr size_t kMinAt = 176;
constexpr size_t kMaxAt = 277;
constexpr size_t kDefaultAt = 378;
constexpr size_t kCompressionAt = 479;
constexpr size_t kNoRoomAt = 480;

}  // namespace

void FieldDescriptor::encode(std::span<uint8_t, kSize> out) const {
  uint8_t* p = out.data();
  std::fill(out.begin(), out.end(), uint8_t{0});
  StoreU16(p + kNumberAt, number);
  StoreShortString(p + kNameAt, kNameWidth, name);
  StoreShortString(p + kDescriptionAt, kTextWidth, description);
  p[kTypeAt] = static_cast<uint8_t>(type);
  p[kSubtypeAt] = static_cast<uint8_t>(subtype);
  StoreU16(p + kSizeAt, size);
  p[kDecimalsAt] = decimals;
  StoreU16(p + kDataLengthAt, dataLength);
  p[kStoredDecimalsAt] = storedDecimals;
  StoreU16(p + kOffsetAt, offset);
  p[kRequiredAt] = required ? 1 : 0;
  p[kCharCaseAt] = static_cast<uint8_t>(charCase);
  StoreShortString(p + kMinAt, kTextWidth, minValue);
  StoreShortString(p + kMaxAt, kTextWidth, maxValue);
  StoreShortString(p + kDefaultAt, kTextWidth, defaultValue);
  p[kCompressionAt] = compression;
  p[kNoRoomAt] = noRoomMark;
}

FieldDescriptor FieldDescriptor::decode(std::span<const uint8_t, kSize> in) {
  const uint8_t* p = in.data();
  FieldDescriptor d;
  d.number = LoadU16(p + kNumberAt);
  d.name = LoadShortString(p + kNameAt, kNameWidth);
  d.description = LoadShortString(p + kDescriptionAt, kTextWidth);
  d.type = static_cast<FieldType>(p[kTypeAt]);
  d.subtype = static_cast<FieldSubtype>(p[kSubtypeAt]);
  d.size = LoadU16(p + kSizeAt);
  d.decimals = p[kDecimalsAt];
  d.dataLength = LoadU16(p + kDataLengthAt);
  d.storedDecimals = p[kStoredDecimalsAt];
  d.offset = LoadU16(p + kOffsetAt);
  d.required = p[kRequiredAt] != 0;
  d.charCase = static_cast<CharCase>(p[kCharCaseAt]);
  d.minValue = LoadShortString(p + kMinAt, kTextWidth);
  d.maxValue = LoadShortString(p + kMaxAt, kTextWidth);
  d.defaultValue = LoadShortString(p + kDefaultAt, kTextWidth);
  d.compression = p[kCompressionAt];
  d.noRoomMark = p[kNoRoomAt];
  return d;
}

FieldDescriptor FieldDescriptor::RecordIdField() {
  FieldDescriptor d;
  d.number = kRecordIdNumber;
  d.name = "RecordID";
  d.type = FieldType::Integer;
  d.dataLength = 4;
  d.offset = 5;
  return d;
}

FieldDescriptor FieldDescriptor::RecordHashField() {
  FieldDescriptor d;
  d.number = kRecordHashNumber;
  d.name = "RecordHash";
  d.type = FieldType::Bytes;
  d.subtype = FieldSubtype::RecordHash;
  d.size = 16;
  d.dataLength = 16;
  d.offset = 9;
  return d;
}

}  // namespace keel
