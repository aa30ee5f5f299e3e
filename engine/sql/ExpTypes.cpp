#include "engine/sql/ExpTypes.h"

#include "engine/sql/ExpToken.h"

namespace keel {

bool IsTextType(FieldType type, FieldSubtype subtype) {
  if (type == FieldType::String) return true;
  return type == FieldType::Blob && (subtype == FieldSubtype::Memo || subtype == FieldSubtype::FormattedMemo ||
                                     subtype == FieldSubtype::MemoAlias);
}

bool IsTextValue(const TExpToken& node) { return IsTextType(node.Type, node.Subtype); }

bool IsIntegerType(FieldType type) {
  return type == FieldType::SmallInt || type == FieldType::Integer || type == FieldType::Word;
}

bool IsNumericType(FieldType type) {
  return IsIntegerType(type) || type == FieldType::LargeInt || type == FieldType::Float || type == FieldType::Bcd;
}

bool HoldsText(FieldType type) {
  return type == FieldType::String || type == FieldType::Blob || type == FieldType::Bytes ||
         type == FieldType::VarBytes;
}

bool HoldsReal(FieldType type) {
  return type == FieldType::Float || type == FieldType::Bcd || type == FieldType::Timestamp;
}

std::string TypeName(FieldType type) {
  switch (type) {
    case FieldType::String: return "String";
    case FieldType::Date: return "Date";
    case FieldType::Blob: return "BLOB";
    case FieldType::Boolean: return "Boolean";
    case FieldType::SmallInt: return "SmallInt";
    case FieldType::Integer: return "Integer";
    case FieldType::Float: return "Float";
    case FieldType::Bcd: return "Currency";
    case FieldType::Bytes: return "Bytes";
    case FieldType::Time: return "Time";
    case FieldType::Timestamp: return "Timestamp";
    case FieldType::Word: return "Word";
    case FieldType::VarBytes: return "VarBytes";
    case FieldType::LargeInt: return "LargeInt";
    default: return "NULL";
  }
}

}  // namespace keel
