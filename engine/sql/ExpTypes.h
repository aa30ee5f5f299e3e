#pragma once

// Classes of value types as the verifier and the evaluator see them.

#include <string>

#include "engine/core/FieldTypes.h"

namespace keel {

class TExpToken;

// String fields and memo BLOBs: compared as text, null counting as empty.
bool IsTextType(FieldType type, FieldSubtype subtype);
bool IsTextValue(const TExpToken& node);
// Small integer, integer, word.
bool IsIntegerType(FieldType type);
// Integer types, large integer, float, BCD.
bool IsNumericType(FieldType type);
// Values kept in TExpToken::Str.
bool HoldsText(FieldType type);
// Values kept in TExpToken::Real.
bool HoldsReal(FieldType type);

// The type's name in verifier messages ("String", "LargeInt", ...).
std::string TypeName(FieldType type);

}  // namespace keel
