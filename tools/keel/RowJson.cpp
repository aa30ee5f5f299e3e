#include "tools/keel/RowJson.h"

#include <limits>

#include "engine/core/ByteOrder.h"
#include "engine/core/FieldCodec.h"
#include "engine/core/TextCase.h"

namespace mindrel {

namespace {

using keel::FieldDescriptor;
using keel::FieldSubtype;
using keel::FieldType;

bool IsMemo(const FieldDescriptor& f) {
  return f.subtype == FieldSubtype::Memo || f.subtype == FieldSubtype::FormattedMemo ||
         f.subtype == FieldSubtype::MemoAlias;
}

std::string Hex(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

std::vector<uint8_t> FromHex(const std::string& text, const FieldDescriptor& f) {
  std::vector<uint8_t> out;
  if (text.size() % 2 != 0) throw EUsageError("field " + f.name + ": hexadecimal text of odd length");
  for (size_t i = 0; i < text.size(); i += 2) {
    int value = 0;
    for (char c : text.substr(i, 2)) {
      int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      if (digit < 0) throw EUsageError("field " + f.name + ": not hexadecimal: " + text);
      value = value * 16 + digit;
    }
    out.push_back(static_cast<uint8_t>(value));
  }
  return out;
}

[[noreturn]] void BadValue(const FieldDescriptor& f, const TJsonValue& value) {
  throw EUsageError("field " + f.name + ": unsuitable value " + value.write());
}

const std::string& Text(const FieldDescriptor& f, const TJsonValue& value) {
  if (value.kind() != TJsonValue::Kind::String) BadValue(f, value);
  return value.text();
}

int64_t Integer(const FieldDescriptor& f, const TJsonValue& value, int64_t low, int64_t high) {
  std::optional<int64_t> number = value.asInteger();
  if (!number || *number < low || *number > high) BadValue(f, value);
  return *number;
}

std::vector<uint8_t> Parsed(const FieldDescriptor& f, const TJsonValue& value, const std::string& text) {
  std::optional<std::vector<uint8_t>> stored = keel::ParseFieldText(f, text);
  if (!stored) BadValue(f, value);
  return *stored;
}

std::vector<uint8_t> StoredValue(const FieldDescriptor& f, const TJsonValue& value) {
  std::vector<uint8_t> out(8, 0);
  switch (f.type) {
    case FieldType::SmallInt: keel::StoreI16(out.data(), static_cast<int16_t>(Integer(f, value, INT16_MIN, INT16_MAX))); break;
    case FieldType::Word: keel::StoreU16(out.data(), static_cast<uint16_t>(Integer(f, value, 0, UINT16_MAX))); break;
    case FieldType::Integer: keel::StoreI32(out.data(), static_cast<int32_t>(Integer(f, value, INT32_MIN, INT32_MAX))); break;
    case FieldType::LargeInt:
      keel::StoreI64(out.data(), Integer(f, value, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()));
      break;
    case FieldType::Boolean:
      if (value.kind() != TJsonValue::Kind::Boolean) BadValue(f, value);
      keel::StoreI16(out.data(), value.boolean() ? 1 : 0);
      break;
    case FieldType::Float: {
      std::optional<double> number = value.asDouble();
      if (!number) BadValue(f, value);
      keel::StoreF64(out.data(), *number);
      break;
    }
    case FieldType::Bcd:
      return Parsed(f, value, value.kind() == TJsonValue::Kind::Number ? value.text() : Text(f, value));
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::Timestamp: return Parsed(f, value, Text(f, value));
    case FieldType::Bytes:
    case FieldType::VarBytes: {
      std::vector<uint8_t> bytes = FromHex(Text(f, value), f);
      if (bytes.size() > f.dataLength) BadValue(f, value);
      bytes.resize(f.dataLength, 0);
      return bytes;
    }
    default: throw EUsageError("field " + f.name + ": its type cannot be written by this tool");
  }
  return out;
}

}  // namespace

TJsonValue FieldToJson(keel::TDataCursor& cursor, std::span<const uint8_t> row, const FieldDescriptor& f) {
  keel::FieldRead read = keel::GetField(row, f);
  if (read.isNull) return TJsonValue();
  const uint8_t* p = read.bytes.data();
  switch (f.type) {
    case FieldType::String: return TJsonValue::String(keel::AnsiToUtf8(keel::FormatFieldText(f, read.bytes)));
    case FieldType::SmallInt: return TJsonValue::Number(keel::LoadI16(p));
    case FieldType::Word: return TJsonValue::Number(keel::LoadU16(p));
    case FieldType::Integer: return TJsonValue::Number(keel::LoadI32(p));
    case FieldType::LargeInt: return TJsonValue::Number(keel::LoadI64(p));
    case FieldType::Boolean: return TJsonValue::Boolean(keel::LoadI16(p) != 0);
    case FieldType::Float: return TJsonValue::NumberOf(keel::LoadF64(p));
    case FieldType::Bcd:
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::Timestamp: return TJsonValue::String(keel::FormatFieldText(f, read.bytes));
    case FieldType::Blob: {
      std::vector<uint8_t> value = cursor.blobValue(row, f);
      if (IsMemo(f)) return TJsonValue::String(keel::AnsiToUtf8(std::string(value.begin(), value.end())));
      return TJsonValue::String(Hex(value));
    }
    default: return TJsonValue::String(Hex(row.subspan(f.offset + 1u, f.dataLength)));
  }
}

void JsonToField(keel::TDataCursor& cursor, std::span<uint8_t> row, const FieldDescriptor& f, const TJsonValue& value,
                 keel::TDataCursor::BlobValues& blobs) {
  if (f.isSystem()) throw EUsageError("field " + f.name + " cannot be written");
  const uint32_t locale = cursor.table().locale();
  if (f.isBlob()) {
    if (value.isNull()) {
      blobs[f.number] = {};
    } else if (IsMemo(f)) {
      std::string text = keel::Utf8ToAnsi(Text(f, value));
      blobs[f.number] = std::vector<uint8_t>(text.begin(), text.end());
    } else {
      blobs[f.number] = FromHex(Text(f, value), f);
    }
    return;
  }
  if (value.isNull()) {
    keel::SetFieldNull(row, f);
  } else if (f.type == FieldType::String) {
    keel::SetFieldText(row, f, keel::Utf8ToAnsi(Text(f, value)), locale);
  } else {
    keel::SetFieldValue(row, f, StoredValue(f, value), locale);
  }
}

void JsonToRow(keel::TDataCursor& cursor, std::span<uint8_t> row, const TJsonValue& object,
               keel::TDataCursor::BlobValues& blobs) {
  if (object.kind() != TJsonValue::Kind::Object) throw EUsageError("a JSON object of field values expected");
  for (const auto& [name, value] : object.members()) {
    const FieldDescriptor* f = cursor.table().data().fieldByName(keel::Utf8ToAnsi(name));
    if (!f) throw EUsageError("no field named " + name);
    JsonToField(cursor, row, *f, value, blobs);
  }
}

TJsonValue RowToJson(keel::TDataCursor& cursor, std::span<const uint8_t> row) {
  TJsonValue object = TJsonValue::Object();
  object.add("RecordID", TJsonValue::Number(keel::LoadI32(row.data() + keel::kRowRecordIdAt)));
  for (const FieldDescriptor& f : cursor.fields()) object.add(keel::AnsiToUtf8(f.name), FieldToJson(cursor, row, f));
  return object;
}

}  // namespace mindrel
