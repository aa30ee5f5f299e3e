#include "engine/components/FieldDefs.h"

#include <algorithm>

#include "engine/components/ComponentNames.h"
#include "engine/components/DatabaseError.h"
#include "engine/core/TextCase.h"

namespace keel {

namespace {

bool SizedLikeText(TFieldType type) {
  switch (type) {
    case TFieldType::ftString:
    case TFieldType::ftFixedChar:
    case TFieldType::ftWideString:
    case TFieldType::ftGuid:
    case TFieldType::ftBytes:
    case TFieldType::ftVarBytes: return true;
    default: return false;
  }
}

bool SizeAllowed(TFieldType type, uint16_t size) {
  if (SizedLikeText(type)) return size >= 1 && size <= kMaxStringSize;
  if (type == TFieldType::ftBCD) return size <= kMaxBcdDecimals;
  return size == 0;
}

}  // namespace

TKeelFieldDef TKeelFieldDef::FromDescriptor(const FieldDescriptor& d) {
  const DatasetFieldType mapped = ToDatasetFieldType(d.type, d.subtype, d.size, d.storedDecimals);
  TKeelFieldDef def;
  def.Name = AnsiToUtf8(d.name);
  def.DataType = mapped.type;
  def.Size = mapped.size;
  def.Required = d.required && mapped.type != TFieldType::ftAutoInc;
  def.DefaultValue = AnsiToUtf8(d.defaultValue);
  def.MinValue = AnsiToUtf8(d.minValue);
  def.MaxValue = AnsiToUtf8(d.maxValue);
  def.Description = AnsiToUtf8(d.description);
  def.CharCase = static_cast<TFieldCharCase>(std::min<uint8_t>(static_cast<uint8_t>(d.charCase), 2));
  def.Compression = d.compression;
  return def;
}

FieldDescriptor TKeelFieldDef::ToDescriptor() const {
  if (TrimBlanks(Name).empty()) DatabaseError(db_messages::kFieldNameMissing);
  if (!SizeAllowed(DataType, Size)) DatabaseError(db_messages::kInvalidFieldSize);
  const EngineFieldType mapped = ToEngineFieldType(DataType, Size);
  FieldDescriptor d;
  d.name = Utf8ToAnsi(Name);
  // Types the engine cannot create keep type 0, which it refuses as an
  // invalid field definition naming the field.
  if (mapped.outcome == EngineFieldType::Outcome::Ok) {
    d.type = mapped.type;
    d.subtype = mapped.subtype;
    d.size = mapped.size;
    d.decimals = mapped.decimals;
  }
  d.required = Required;
  d.defaultValue = Utf8ToAnsi(DefaultValue);
  d.minValue = Utf8ToAnsi(MinValue);
  d.maxValue = Utf8ToAnsi(MaxValue);
  d.description = Utf8ToAnsi(Description);
  d.charCase = static_cast<keel::CharCase>(CharCase);
  d.compression = Compression;
  return d;
}

TKeelFieldDef& TKeelFieldDefs::Add(const std::string& name, TFieldType type, uint16_t size, bool required) {
  TKeelFieldDef& def = defs_.emplace_back();
  def.Name = name;
  def.DataType = type;
  def.Size = size;
  def.Required = required;
  return def;
}

}  // namespace keel
