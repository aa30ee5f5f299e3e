#include "engine/components/StoredValue.h"

#include <algorithm>

#include "engine/core/ByteOrder.h"

namespace keel {

std::optional<int64_t> LoadInteger(FieldType type, std::span<const uint8_t> bytes) {
  switch (type) {
    case FieldType::SmallInt: return LoadI16(bytes.data());
    case FieldType::Integer: return LoadI32(bytes.data());
    case FieldType::Word: return LoadU16(bytes.data());
    case FieldType::LargeInt: return LoadI64(bytes.data());
    case FieldType::Boolean: return LoadI16(bytes.data()) != 0 ? 1 : 0;
    default: return std::nullopt;
  }
}

std::string TextOfStored(std::span<const uint8_t> bytes) {
  const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  return std::string(bytes.begin(), end);
}

}  // namespace keel
