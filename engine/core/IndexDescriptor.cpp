#include "engine/core/IndexDescriptor.h"

#include <algorithm>

#include "engine/core/ByteOrder.h"

namespace keel {

namespace d = index_layout::descriptor;

namespace {
constexpr size_t kNameWidth = 1 + index_layout::kMaxNameLength;
}

void IndexDescriptor::encode(std::span<uint8_t, kSize> out) const {
  uint8_t* p = out.data();
  std::fill(out.begin(), out.end(), uint8_t{0});
  if (isEmpty()) return;
  StoreShortString(p + d::kName, kNameWidth, name);
  StoreU16(p + d::kKeySize, keySize);
  p[d::kDescending] = descending ? 1 : 0;
  p[d::kCaseInsensitive] = caseInsensitive ? 1 : 0;
  p[d::kUnique] = unique ? 1 : 0;
  p[d::kCompression] = static_cast<uint8_t>(compression);
  p[d::kFieldCount] = static_cast<uint8_t>(fields.size());
  for (size_t j = 0; j < fields.size(); ++j) {
    p[d::kFieldDescending + j] = fields[j].descending ? 1 : 0;
    StoreU16(p + d::kFieldNumbers + 2 * j, fields[j].fieldNumber);
  }
  p[d::kNoKeyStatistics] = noKeyStatistics ? 1 : 0;
}

IndexDescriptor IndexDescriptor::decode(std::span<const uint8_t, kSize> in) {
  const uint8_t* p = in.data();
  IndexDescriptor x;
  x.nameTooLong_ = p[d::kName] > index_layout::kMaxNameLength;
  x.name = LoadShortString(p + d::kName, kNameWidth);
  x.keySize = LoadU16(p + d::kKeySize);
  x.descending = p[d::kDescending] != 0;
  x.caseInsensitive = p[d::kCaseInsensitive] != 0;
  x.unique = p[d::kUnique] != 0;
  x.compression = static_cast<IndexCompression>(p[d::kCompression]);
  x.noKeyStatistics = p[d::kNoKeyStatistics] != 0;
  const size_t count = std::min<size_t>(p[d::kFieldCount], index_layout::kMaxKeyFields);
  for (size_t j = 0; j < count; ++j) {
    x.fields.push_back({LoadU16(p + d::kFieldNumbers + 2 * j), p[d::kFieldDescending + j] != 0});
  }
  x.fieldCountTooHigh_ = p[d::kFieldCount] > index_layout::kMaxKeyFields;
  return x;
}

bool IndexDescriptor::isWellFormed(size_t pageSize) const {
  if (nameTooLong_ || fieldCountTooHigh_) return false;
  if (fields.empty() || fields.size() > index_layout::kMaxKeyFields) return false;
  if (static_cast<uint8_t>(compression) > static_cast<uint8_t>(IndexCompression::icFull)) return false;
  // Every key field takes at least its null byte and one value byte.
  const size_t least = 2 * fields.size() + suffixSize();
  if (keySize < least || keySize > index_layout::kMaxKeySize) return false;
  const size_t interiorEntry = keySize + 4u + (noKeyStatistics ? 0u : 4u);
  return (pageSize - index_layout::page::kHeaderSize) / interiorEntry >= 2;
}

IndexDescriptor IndexDescriptor::DefaultPrimary() {
  IndexDescriptor x;
  x.keySize = 5;
  x.unique = true;
  x.fields = {{index_layout::kRecordIdField, false}};
  return x;
}

IndexDescriptor IndexDescriptor::FullText(std::vector<uint16_t> fieldNumbers) {
  IndexDescriptor x;
  x.name = kFullTextName;
  x.keySize = kFullTextKeySize;
  x.compression = IndexCompression::icFull;
  x.noKeyStatistics = true;
  for (uint16_t number : fieldNumbers) x.fields.push_back({number, false});
  return x;
}

}  // namespace keel
