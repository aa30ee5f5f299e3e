#include "engine/components/IndexDefs.h"

#include <algorithm>

#include "engine/components/ComponentNames.h"
#include "engine/components/DatabaseError.h"
#include "engine/core/TextCase.h"

namespace keel {

namespace {

std::string FieldName(uint16_t number, std::span<const FieldDescriptor> fields) {
  if (number == FieldDescriptor::kRecordIdNumber) return "RecordID";
  if (number == FieldDescriptor::kRecordHashNumber) return "RecordHash";
  if (number >= 1 && number <= fields.size()) return AnsiToUtf8(fields[number - 1].name);
  return std::to_string(number);
}

void AppendName(std::string& list, const std::string& name) {
  if (!list.empty()) list += ';';
  list += name;
}

}  // namespace

TKeelIndexDef TKeelIndexDef::FromDescriptor(const IndexDescriptor& d, int slot,
                                            std::span<const FieldDescriptor> fields) {
  TKeelIndexDef def;
  def.Name = AnsiToUtf8(d.name);
  for (const IndexKeyField& key : d.fields) {
    AppendName(def.Fields, FieldName(key.fieldNumber, fields));
    if (key.descending) AppendName(def.DescFields, FieldName(key.fieldNumber, fields));
  }
  if (slot == 0) def.Options |= ixPrimary;
  if (d.unique) def.Options |= ixUnique;
  if (d.descending) def.Options |= ixDescending;
  if (d.caseInsensitive) def.Options |= ixCaseInsensitive;
  def.Compression = d.compression;
  def.NoKeyStatistics = d.noKeyStatistics;
  return def;
}

TKeelIndexDef& TKeelIndexDefs::Add(const std::string& name, const std::string& fields, TIndexOptions options) {
  TKeelIndexDef& def = defs_.emplace_back();
  def.Name = name;
  def.Fields = fields;
  def.Options = options;
  return def;
}

std::vector<TKeelIndexDef> TKeelIndexDefs::CheckedForCreation() const {
  std::vector<TKeelIndexDef> ordered;
  for (const TKeelIndexDef& def : defs_) {
    if (!def.Has(ixPrimary)) continue;
    if (!ordered.empty()) DatabaseError(db_messages::kOnePrimaryIndex);
    ordered.push_back(def);
  }
  for (const TKeelIndexDef& def : defs_) {
    if (def.Has(ixPrimary)) continue;
    const bool taken = std::any_of(ordered.begin(), ordered.end(),
                                   [&](const TKeelIndexDef& other) { return SameName(other.Name, def.Name); });
    if (taken) DatabaseError(db_messages::kDuplicateIndexName, {def.Name});
    ordered.push_back(def);
  }
  return ordered;
}

}  // namespace keel
