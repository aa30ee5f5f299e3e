#pragma once

// Values read straight from a field's stored bytes (what follows its null
// indicator in a row), shared by the field objects and the table walk.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "engine/core/FieldTypes.h"

namespace keel {

// The value of an integer or Boolean field; nothing for other types.
std::optional<int64_t> LoadInteger(FieldType type, std::span<const uint8_t> bytes);
// A string field's text up to its first zero byte, in the table's code page.
std::string TextOfStored(std::span<const uint8_t> bytes);

}  // namespace keel
