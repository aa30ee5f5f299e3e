#pragma once

// Engine field types and subtypes, their stored lengths, and the mapping to and
// from the dataset layer's field types. Byte layouts: docs/formats/data-file.md.

#include <cstdint>
#include <optional>
#include <string_view>

namespace keel {

// One byte in the descriptor; values outside the named ones occur in files of
// other writers and are kept as they are.
enum class FieldType : uint8_t {
  None = 0,
  String = 1,
  Date = 2,
  Blob = 3,
  Boolean = 4,
  SmallInt = 5,
  Integer = 6,
  Float = 7,
  Bcd = 8,
  Bytes = 9,
  Time = 10,
  Timestamp = 11,
  Word = 12,
  VarBytes = 15,
  LargeInt = 18,
};

enum class FieldSubtype : uint8_t {
  None = 0,
  Money = 21,
  Memo = 22,
  FormattedMemo = 24,
  Graphic = 26,
  AutoInc = 29,
  FixedChar = 31,
  WideString = 32,
  MemoAlias = 33,
  Guid = 50,
  RecordHash = 100,
};

// The dataset layer's field types.
enum class TFieldType : uint8_t {
  ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD, ftDate, ftTime,
  ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic, ftFmtMemo, ftParadoxOle, ftDBaseOle,
  ftTypedBinary, ftCursor, ftFixedChar, ftWideString, ftLargeint, ftADT, ftArray, ftReference, ftDataSet,
  ftOraBlob, ftOraClob, ftVariant, ftInterface, ftIDispatch, ftGuid, ftTimeStamp, ftFMTBcd,
};

constexpr uint16_t kMaxStringSize = 512;      // strings, bytes, variable bytes
constexpr uint16_t kMaxWideStringSize = 256;  // subtype 32
constexpr uint16_t kGuidStringSize = 38;      // "{8-4-4-4-12}"
constexpr uint8_t kMaxBcdDecimals = 32;
constexpr uint16_t kBcdLength = 34;

// Whether the type carries a declared size (strings, bytes, variable bytes).
bool HasDeclaredSize(FieldType type);

// Bytes the value takes in a row (without its null byte); 0 for the types that
// have no stored form and cannot be created.
uint16_t StoredLength(FieldType type, FieldSubtype subtype, uint16_t size);

// Engine side of a dataset field definition.
struct EngineFieldType {
  enum class Outcome { Ok, NotCreatable, Rejected } outcome = Outcome::Rejected;
  FieldType type = FieldType::None;
  FieldSubtype subtype = FieldSubtype::None;
  uint16_t size = 0;     // declared size (strings, bytes, variable bytes)
  uint8_t decimals = 0;  // BCD only: the definition's size is its scale
};
EngineFieldType ToEngineFieldType(TFieldType type, uint16_t definitionSize);

// Dataset side of an engine field; `size` is the declared size for types 1, 9
// and 15, the decimals for BCD, 0 otherwise.
struct DatasetFieldType {
  TFieldType type = TFieldType::ftUnknown;
  uint16_t size = 0;
};
DatasetFieldType ToDatasetFieldType(FieldType type, FieldSubtype subtype, uint16_t declaredSize, uint8_t decimals);

// "ftString" and back; names compared exactly.
std::string_view FieldTypeName(TFieldType type);
std::optional<TFieldType> FieldTypeFromName(std::string_view name);

}  // namespace keel
