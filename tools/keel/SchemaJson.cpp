#include "tools/keel/SchemaJson.h"

#include <cmath>
#include <set>

#include "engine/core/ByteOrder.h"
#include "engine/core/FieldCodec.h"
#include "engine/core/IndexDefinitions.h"
#include "engine/core/TextCase.h"
#include "tools/keel/RowJson.h"

namespace mindrel {

namespace {

using keel::FieldDescriptor;
using keel::IndexCompression;
using keel::IndexDescriptor;

constexpr const char* kCompressionNames[] = {"icNone", "icDuplicateByte", "icTrailingByte", "icFull"};
constexpr const char* kCharCaseNames[] = {"none", "lower", "upper"};

void OnlyMembers(const TJsonValue& object, const std::set<std::string>& allowed, const std::string& where) {
  if (object.kind() != TJsonValue::Kind::Object) throw EUsageError(where + ": a JSON object expected");
  for (const auto& [name, value] : object.members()) {
    if (allowed.count(name) == 0) throw EUsageError(where + ": unknown member \"" + name + "\"");
  }
}

std::string TextMember(const TJsonValue& object, const char* name, const std::string& where) {
  const TJsonValue* value = object.find(name);
  if (!value || value->isNull()) return {};
  if (value->kind() != TJsonValue::Kind::String) throw EUsageError(where + ": \"" + name + "\" must be a string");
  return keel::Utf8ToAnsi(value->text());
}

int64_t NumberMember(const TJsonValue& object, const char* name, int64_t fallback, int64_t low, int64_t high,
                     const std::string& where) {
  const TJsonValue* value = object.find(name);
  if (!value) return fallback;
  std::optional<int64_t> number = value->asInteger();
  if (!number || *number < low || *number > high)
    throw EUsageError(where + ": \"" + name + "\" must be a whole number from " + std::to_string(low) + " to " +
                      std::to_string(high));
  return *number;
}

bool FlagMember(const TJsonValue& object, const char* name, const std::string& where) {
  const TJsonValue* value = object.find(name);
  if (!value) return false;
  if (value->kind() != TJsonValue::Kind::Boolean) throw EUsageError(where + ": \"" + name + "\" must be true or false");
  return value->boolean();
}

template <size_t N>
size_t Choice(const std::string& text, const char* const (&names)[N], const std::string& what) {
  for (size_t i = 0; i < N; ++i) {
    if (text == names[i]) return i;
  }
  throw EUsageError("unknown " + what + " \"" + text + "\"");
}

FieldDescriptor FieldFromJson(const TJsonValue& json, size_t position) {
  const std::string where = "field " + std::to_string(position);
  OnlyMembers(json, {"name", "type", "size", "required", "default", "min", "max", "description", "charcase",
                     "compression"},
              where);
  FieldDescriptor field;
  field.name = TextMember(json, "name", where);
  const std::string typeName = TextMember(json, "type", where);
  std::optional<keel::TFieldType> type = keel::FieldTypeFromName(typeName);
  if (!type) throw EUsageError(where + ": unknown type \"" + typeName + "\"");
  const auto size = static_cast<uint16_t>(NumberMember(json, "size", 0, 0, 65535, where));
  keel::EngineFieldType engine = keel::ToEngineFieldType(*type, size);
  if (engine.outcome != keel::EngineFieldType::Outcome::Ok)
    throw EUsageError(where + ": type " + typeName + " cannot be created");
  field.type = engine.type;
  field.subtype = engine.subtype;
  field.size = engine.size;
  field.decimals = engine.decimals;
  field.required = FlagMember(json, "required", where);
  field.defaultValue = TextMember(json, "default", where);
  field.minValue = TextMember(json, "min", where);
  field.maxValue = TextMember(json, "max", where);
  field.description = TextMember(json, "description", where);
  const std::string charCase = TextMember(json, "charcase", where);
  field.charCase = static_cast<keel::CharCase>(charCase.empty() ? 0 : Choice(charCase, kCharCaseNames, "charcase"));
  field.compression = static_cast<uint8_t>(NumberMember(json, "compression", 0, 0, 9, where));
  return field;
}

struct IndexJson {
  IndexDescriptor descriptor;
  bool primary = false;
};

IndexJson IndexFromJson(const TJsonValue& json, const keel::TIndexDefinitions& definitions, size_t position) {
  const std::string where = "index " + std::to_string(position);
  OnlyMembers(json, {"name", "fields", "descfields", "options", "compression", "nokeystats"}, where);
  IndexJson index;
  IndexDescriptor& d = index.descriptor;
  d.name = TextMember(json, "name", where);
  if (const TJsonValue* options = json.find("options")) {
    if (options->kind() != TJsonValue::Kind::Array) throw EUsageError(where + ": \"options\" must be a list");
    for (const TJsonValue& option : options->items()) {
      const std::string text = option.kind() == TJsonValue::Kind::String ? option.text() : option.write();
      if (text == "ixPrimary") index.primary = true;
      else if (text == "ixUnique") d.unique = true;
      else if (text == "ixCaseInsensitive") d.caseInsensitive = true;
      else if (text == "ixDescending") d.descending = true;
      else throw EUsageError(where + ": unknown option " + text);
    }
  }
  const std::string compression = TextMember(json, "compression", where);
  d.compression = static_cast<IndexCompression>(compression.empty() ? 0 : Choice(compression, kCompressionNames,
                                                                                   "index compression"));
  d.noKeyStatistics = FlagMember(json, "nokeystats", where);
  d.fields = definitions.resolveFields(TextMember(json, "fields", where), TextMember(json, "descfields", where),
                                       d.name);
  return index;
}

std::string FieldList(const keel::TDataCursor& cursor, const IndexDescriptor& index, bool descendingOnly) {
  std::string out;
  for (const keel::IndexKeyField& key : index.fields) {
    if (descendingOnly && !key.descending) continue;
    if (!out.empty()) out += ';';
    out += cursor.field(key.fieldNumber).name;
  }
  return keel::AnsiToUtf8(out);
}

std::string IsoMoment(double days) {
  const double whole = std::floor(days);
  const auto day = static_cast<int32_t>(whole) + keel::kDayNumberOf18991230;
  const auto milliseconds = static_cast<int64_t>(std::llround((days - whole) * keel::kMillisecondsPerDay));
  FieldDescriptor stamp;
  stamp.type = keel::FieldType::Timestamp;
  std::vector<uint8_t> bytes(8);
  keel::StoreF64(bytes.data(), static_cast<double>(day) * keel::kMillisecondsPerDay + milliseconds);
  std::string text = keel::FormatFieldText(stamp, bytes);
  text[10] = 'T';
  return text;
}

}  // namespace

keel::TableCreateRequest SchemaToRequest(const TJsonValue& schema, const std::string& tableName) {
  OnlyMembers(schema, {"fields", "indexes", "locale", "user_major", "user_minor", "description", "index_page_size",
                       "blob_block_size", "last_autoinc", "password"},
              "schema");
  keel::TableCreateRequest request;
  request.name = tableName;
  const TJsonValue* fields = schema.find("fields");
  if (!fields || fields->kind() != TJsonValue::Kind::Array) throw EUsageError("schema: \"fields\" list missing");
  for (size_t i = 0; i < fields->items().size(); ++i) request.fields.push_back(FieldFromJson(fields->items()[i], i + 1));
  request.locale = static_cast<uint32_t>(NumberMember(schema, "locale", 0, 0, UINT32_MAX, "schema"));
  request.userMajor = static_cast<int16_t>(NumberMember(schema, "user_major", 1, INT16_MIN, INT16_MAX, "schema"));
  request.userMinor = static_cast<int16_t>(NumberMember(schema, "user_minor", 0, INT16_MIN, INT16_MAX, "schema"));
  request.description = TextMember(schema, "description", "schema");
  request.indexPageSize = static_cast<int32_t>(NumberMember(schema, "index_page_size", 4096, 0, INT32_MAX, "schema"));
  request.blobBlockSize = static_cast<int32_t>(NumberMember(schema, "blob_block_size", 512, 0, INT32_MAX, "schema"));
  request.lastAutoInc = static_cast<int32_t>(NumberMember(schema, "last_autoinc", -1, -1, INT32_MAX, "schema"));
  if (const TJsonValue* password = schema.find("password"); password && !password->isNull()) {
    request.encrypted = true;
    request.password = TextMember(schema, "password", "schema");
  }

  std::vector<FieldDescriptor> numbered = request.fields;
  for (size_t i = 0; i < numbered.size(); ++i) numbered[i].number = static_cast<uint16_t>(i + 1);
  keel::TIndexDefinitions definitions(numbered, static_cast<size_t>(std::max(request.indexPageSize, 0)), tableName);
  if (const TJsonValue* indexes = schema.find("indexes")) {
    if (indexes->kind() != TJsonValue::Kind::Array) throw EUsageError("schema: \"indexes\" must be a list");
    bool havePrimary = false;
    for (size_t i = 0; i < indexes->items().size(); ++i) {
      IndexJson index = IndexFromJson(indexes->items()[i], definitions, i + 1);
      if (!index.primary) {
        request.secondaries.push_back(index.descriptor);
        continue;
      }
      if (havePrimary) throw EUsageError("schema: more than one index has ixPrimary");
      havePrimary = true;
      request.primary = index.descriptor;
    }
  }
  return request;
}

TJsonValue TableInfo(keel::TDataCursor& cursor) {
  keel::TDataTable& table = cursor.table();
  const keel::DataFileHeader& h = table.data().header();
  TJsonValue info = TJsonValue::Object();
  info.add("version", TJsonValue::String("4.00"));
  info.add("header_change_count", TJsonValue::Number(h.changeCount));
  info.add("free_row_head", TJsonValue::Number(h.freeRowHead));
  info.add("next_row_number", TJsonValue::Number(h.nextRowNumber));
  info.add("last_record_id", TJsonValue::Number(h.lastRecordId));
  info.add("last_autoinc", TJsonValue::Number(h.lastAutoInc));
  info.add("last_blob_stamp", TJsonValue::Number(h.lastBlobStamp));
  info.add("active_rows", TJsonValue::Number(h.activeRowCount));
  info.add("row_size", TJsonValue::Number(h.rowSize));
  info.add("field_count", TJsonValue::Number(h.fieldCount));
  info.add("blob_field_count", TJsonValue::Number(h.blobFieldCount));
  info.add("locale", TJsonValue::Number(static_cast<int64_t>(h.locale)));
  info.add("user_major", TJsonValue::Number(h.userMajor));
  info.add("user_minor", TJsonValue::Number(h.userMinor));
  info.add("description", TJsonValue::String(keel::AnsiToUtf8(h.description)));
  info.add("encrypted", TJsonValue::Boolean(h.encrypted));
  info.add("index_page_size", TJsonValue::Number(h.indexPageSize));
  info.add("blob_block_size", TJsonValue::Number(h.blobBlockSize));
  info.add("last_updated", TJsonValue::String(IsoMoment(table.data().lastUpdated())));

  TJsonValue fields = TJsonValue::Array();
  for (const FieldDescriptor& f : cursor.fields()) {
    keel::DatasetFieldType dataset = keel::ToDatasetFieldType(f.type, f.subtype, f.size, f.storedDecimals);
    auto text = [](const std::string& s) { return TJsonValue::String(keel::AnsiToUtf8(s)); };
    TJsonValue field = TJsonValue::Object();
    field.add("name", text(f.name));
    field.add("number", TJsonValue::Number(f.number));
    field.add("type", TJsonValue::String(std::string(keel::FieldTypeName(dataset.type))));
    field.add("subtype", TJsonValue::Number(static_cast<int64_t>(f.subtype)));
    field.add("size", TJsonValue::Number(dataset.size));
    field.add("decimals", TJsonValue::Number(f.storedDecimals));
    field.add("required", TJsonValue::Boolean(f.required));
    field.add("charcase", TJsonValue::String(static_cast<size_t>(f.charCase) < 3
                                                 ? kCharCaseNames[static_cast<size_t>(f.charCase)]
                                                 : "none"));
    field.add("default", text(f.defaultValue));
    field.add("min", text(f.minValue));
    field.add("max", text(f.maxValue));
    field.add("compression", TJsonValue::Number(f.compression));
    field.add("description", text(f.description));
    fields.push(std::move(field));
  }
  info.add("fields", std::move(fields));

  TJsonValue indexes = TJsonValue::Array();
  for (int slot = 0; slot < table.indexCount(); ++slot) {
    const IndexDescriptor& d = table.index().descriptor(slot);
    TJsonValue index = TJsonValue::Object();
    index.add("slot", TJsonValue::Number(slot));
    index.add("name", TJsonValue::String(keel::AnsiToUtf8(d.name)));
    index.add("fields", TJsonValue::String(FieldList(cursor, d, false)));
    index.add("descfields", TJsonValue::String(FieldList(cursor, d, true)));
    index.add("descending", TJsonValue::Boolean(d.descending));
    index.add("unique", TJsonValue::Boolean(d.unique));
    index.add("case_insensitive", TJsonValue::Boolean(d.caseInsensitive));
    index.add("compression", TJsonValue::String(static_cast<size_t>(d.compression) < 4
                                                    ? kCompressionNames[static_cast<size_t>(d.compression)]
                                                    : "icNone"));
    index.add("nokeystats", TJsonValue::Boolean(d.noKeyStatistics));
    index.add("key_size", TJsonValue::Number(d.keySize));
    indexes.push(std::move(index));
  }
  info.add("indexes", std::move(indexes));
  return info;
}

}  // namespace mindrel
