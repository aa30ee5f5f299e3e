#include "engine/core/FieldTypes.h"

#include <array>
#include <utility>

namespace keel {

namespace {

constexpr std::array<std::pair<TFieldType, std::string_view>, 38> kTypeNames{{
    {TFieldType::ftUnknown, "ftUnknown"},       {TFieldType::ftString, "ftString"},
    {TFieldType::ftSmallint, "ftSmallint"},     {TFieldType::ftInteger, "ftInteger"},
    {TFieldType::ftWord, "ftWord"},             {TFieldType::ftBoolean, "ftBoolean"},
    {TFieldType::ftFloat, "ftFloat"},           {TFieldType::ftCurrency, "ftCurrency"},
    {TFieldType::ftBCD, "ftBCD"},               {TFieldType::ftDate, "ftDate"},
    {TFieldType::ftTime, "ftTime"},             {TFieldType::ftDateTime, "ftDateTime"},
    {TFieldType::ftBytes, "ftBytes"},           {TFieldType::ftVarBytes, "ftVarBytes"},
    {TFieldType::ftAutoInc, "ftAutoInc"},       {TFieldType::ftBlob, "ftBlob"},
    {TFieldType::ftMemo, "ftMemo"},             {TFieldType::ftGraphic, "ftGraphic"},
    {TFieldType::ftFmtMemo, "ftFmtMemo"},       {TFieldType::ftParadoxOle, "ftParadoxOle"},
    {TFieldType::ftDBaseOle, "ftDBaseOle"},     {TFieldType::ftTypedBinary, "ftTypedBinary"},
    {TFieldType::ftCursor, "ftCursor"},         {TFieldType::ftFixedChar, "ftFixedChar"},
    {TFieldType::ftWideString, "ftWideString"}, {TFieldType::ftLargeint, "ftLargeint"},
    {TFieldType::ftADT, "ftADT"},               {TFieldType::ftArray, "ftArray"},
    {TFieldType::ftReference, "ftReference"},   {TFieldType::ftDataSet, "ftDataSet"},
    {TFieldType::ftOraBlob, "ftOraBlob"},       {TFieldType::ftOraClob, "ftOraClob"},
    {TFieldType::ftVariant, "ftVariant"},       {TFieldType::ftInterface, "ftInterface"},
    {TFieldType::ftIDispatch, "ftIDispatch"},   {TFieldType::ftGuid, "ftGuid"},
    {TFieldType::ftTimeStamp, "ftTimeStamp"},   {TFieldType::ftFMTBcd, "ftFMTBcd"},
}};

EngineFieldType Creatable(FieldType type, FieldSubtype subtype = FieldSubtype::None, uint16_t size = 0,
                          uint8_t decimals = 0) {
  return {EngineFieldType::Outcome::Ok, type, subtype, size, decimals};
}

EngineFieldType NotCreatable(uint8_t type) {
  return {EngineFieldType::Outcome::NotCreatable, static_cast<FieldType>(type), FieldSubtype::None, 0, 0};
}

}  // namespace

bool HasDeclaredSize(FieldType type) {
  return type == FieldType::String || type == FieldType::Bytes || type == FieldType::VarBytes;
}

uint16_t StoredLength(FieldType type, FieldSubtype subtype, uint16_t size) {
  switch (type) {
    case FieldType::String:
      return static_cast<uint16_t>(subtype == FieldSubtype::WideString ? 2 * size + 1 : size + 1);
    case FieldType::Date: return 4;
    case FieldType::Blob: return 8;
    case FieldType::Boolean: return 2;
    case FieldType::SmallInt: return 2;
    case FieldType::Integer: return 4;
    case FieldType::Float: return 8;
    case FieldType::Bcd: return kBcdLength;
    case FieldType::Bytes: return size;
    case FieldType::Time: return 4;
    case FieldType::Timestamp: return 8;
    case FieldType::Word: return 2;
    case FieldType::VarBytes: return size;
    case FieldType::LargeInt: return 8;
    default: return 0;
  }
}

EngineFieldType ToEngineFieldType(TFieldType type, uint16_t definitionSize) {
  using enum TFieldType;
  switch (type) {
    case ftString: return Creatable(FieldType::String, FieldSubtype::None, definitionSize);
    case ftSmallint: return Creatable(FieldType::SmallInt);
    case ftInteger: return Creatable(FieldType::Integer);
    case ftWord: return Creatable(FieldType::Word);
    case ftBoolean: return Creatable(FieldType::Boolean);
    case ftFloat: return Creatable(FieldType::Float);
    case ftCurrency: return Creatable(FieldType::Float, FieldSubtype::Money);
    case ftBCD: return Creatable(FieldType::Bcd, FieldSubtype::None, 0, static_cast<uint8_t>(definitionSize));
    case ftDate: return Creatable(FieldType::Date);
    case ftTime: return Creatable(FieldType::Time);
    case ftDateTime: return Creatable(FieldType::Timestamp);
    case ftBytes: return Creatable(FieldType::Bytes, FieldSubtype::None, definitionSize);
    case ftVarBytes: return Creatable(FieldType::VarBytes, FieldSubtype::None, definitionSize);
    case ftAutoInc: return Creatable(FieldType::Integer, FieldSubtype::AutoInc);
    case ftBlob: return Creatable(FieldType::Blob);
    case ftMemo: return Creatable(FieldType::Blob, FieldSubtype::Memo);
    case ftGraphic: return Creatable(FieldType::Blob, FieldSubtype::Graphic);
    case ftFmtMemo: return Creatable(FieldType::Blob, FieldSubtype::Memo);
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob:
    case ftOraClob: return Creatable(FieldType::Blob);
    case ftFixedChar: return Creatable(FieldType::String, FieldSubtype::FixedChar, definitionSize);
    case ftWideString: return Creatable(FieldType::String, FieldSubtype::WideString, definitionSize);
    case ftLargeint: return Creatable(FieldType::LargeInt);
    case ftGuid: return Creatable(FieldType::String, FieldSubtype::Guid, kGuidStringSize);
    case ftCursor: return NotCreatable(17);
    case ftADT: return NotCreatable(20);
    case ftArray: return NotCreatable(21);
    case ftReference: return NotCreatable(22);
    case ftDataSet: return NotCreatable(23);
    default: return {};
  }
}

DatasetFieldType ToDatasetFieldType(FieldType type, FieldSubtype subtype, uint16_t declaredSize, uint8_t decimals) {
  using enum TFieldType;
  const uint16_t size = HasDeclaredSize(type) ? declaredSize : 0;
  switch (static_cast<uint8_t>(type)) {
    case 1:
      if (subtype == FieldSubtype::FixedChar) return {ftFixedChar, size};
      if (subtype == FieldSubtype::WideString) return {ftWideString, size};
      if (subtype == FieldSubtype::Guid) return {ftGuid, size};
      return {ftString, size};
    case 2: return {ftDate, 0};
    case 3:
      if (subtype == FieldSubtype::Memo || subtype == FieldSubtype::FormattedMemo ||
          subtype == FieldSubtype::MemoAlias)
        return {ftMemo, 0};
      if (subtype == FieldSubtype::Graphic) return {ftGraphic, 0};
      return {ftBlob, 0};
    case 4: return {ftBoolean, 0};
    case 5: return {ftSmallint, 0};
    case 6: return {subtype == FieldSubtype::AutoInc ? ftAutoInc : ftInteger, 0};
    case 7: return {subtype == FieldSubtype::Money ? ftCurrency : ftFloat, 0};
    case 8: return {ftBCD, decimals};
    case 9: return {ftBytes, size};
    case 10: return {ftTime, 0};
    case 11: return {ftDateTime, 0};
    case 12: return {ftWord, 0};
    case 13: return {ftInteger, 0};
    case 15: return {ftVarBytes, size};
    case 18:
    case 19: return {ftLargeint, 0};
    case 20: return {ftADT, 0};
    case 21: return {ftArray, 0};
    case 22: return {ftReference, 0};
    case 23: return {ftDataSet, 0};
    default: return {ftUnknown, 0};
  }
}

std::string_view FieldTypeName(TFieldType type) {
  for (const auto& [value, name] : kTypeNames) {
    if (value == type) return name;
  }
  return "ftUnknown";
}

std::optional<TFieldType> FieldTypeFromName(std::string_view name) {
  for (const auto& [value, name_of_value] : kTypeNames) {
    if (name_of_value == name) return value;
  }
  return std::nullopt;
}

}  // namespace keel
