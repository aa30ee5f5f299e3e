#include "engine/core/IndexDefinitions.h"

#include <optional>

#include "engine/core/Collation.h"
#include "engine/core/ErrorCodes.h"
#include "engine/core/KeyLayout.h"

namespace keel {
namespace {

std::string Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  // Names typed by users: the plain letter pairs of locale 0.
  return TCollation::ForLocale(0, {})->equalIgnoringCase(a, b);
}

std::vector<std::string> SplitList(std::string_view list) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t end = std::min(list.find(';', start), list.size());
    std::string name = Trimmed(list.substr(start, end - start));
    if (!name.empty()) names.push_back(std::move(name));
    start = end + 1;
  }
  return names;
}

}  // namespace

TIndexDefinitions::TIndexDefinitions(std::span<const FieldDescriptor> fields, size_t pageSize,
                                     std::string tableName)
    : fields_(fields), pageSize_(pageSize), tableName_(std::move(tableName)) {}

TIndexDefinitions::Validated TIndexDefinitions::validate(
    const IndexDescriptor& primaryDefinition, const std::vector<IndexDescriptor>& secondaries) const {
  if (secondaries.size() > index_layout::kMaxSecondaryIndexes) {
    raise(ErrorCode::KEEL_INDEXLIMIT, {.table = tableName_});
  }
  Validated result{primary(primaryDefinition), {}};
  std::vector<IndexDescriptor> existing{result.primary};
  for (const IndexDescriptor& definition : secondaries) {
    result.secondaries.push_back(secondary(definition, existing));
    existing.push_back(result.secondaries.back());
  }
  return result;
}

IndexDescriptor TIndexDefinitions::primary(IndexDescriptor definition) const {
  if (definition.fields.empty()) return IndexDescriptor::DefaultPrimary();
  definition.name.clear();
  definition.unique = true;
  completeKey(definition);
  return definition;
}

IndexDescriptor TIndexDefinitions::secondary(IndexDescriptor definition,
                                             std::span<const IndexDescriptor> existing) const {
  definition.name = checkedName(definition.name);
  for (const IndexDescriptor& other : existing) {
    if (SameIgnoringCase(other.name, definition.name)) {
      raise(ErrorCode::KEEL_INDEXEXISTS, {.table = tableName_, .index = definition.name});
    }
  }
  if (existing.size() > index_layout::kMaxSecondaryIndexes)
    raise(ErrorCode::KEEL_INDEXLIMIT, {.table = tableName_});
  completeKey(definition);
  return definition;
}

void TIndexDefinitions::checkPrimaryAddable(const IndexDescriptor& existingPrimary) const {
  if (!(existingPrimary == IndexDescriptor::DefaultPrimary())) {
    raise(ErrorCode::KEEL_PRIMARYKEYREDEFINE, {.table = tableName_});
  }
}

std::string TIndexDefinitions::checkedName(const std::string& name) const {
  std::string trimmed = Trimmed(name);
  if (trimmed.empty()) raise(ErrorCode::KEEL_INDEXNAMEREQUIRED, {.table = tableName_});
  // A name must start with a visible character.
  const auto first = static_cast<uint8_t>(trimmed.front());
  if (trimmed.size() > index_layout::kMaxNameLength || first <= 0x20 || first == 0x7F) {
    raise(ErrorCode::KEEL_INVALIDINDEXNAME, {.table = tableName_, .index = trimmed});
  }
  return trimmed;
}

// Checks every key field and sets the key size from them.
void TIndexDefinitions::completeKey(IndexDescriptor& index) const {
  if (index.fields.size() > index_layout::kMaxKeyFields)
    raise(ErrorCode::KEEL_INDEXLIMIT, {.table = tableName_});
  size_t size = 0;
  for (const IndexKeyField& keyField : index.fields) {
    std::optional<FieldDescriptor> field;
    if (keyField.fieldNumber == FieldDescriptor::kRecordIdNumber) {
      field = FieldDescriptor::RecordIdField();
    } else if (keyField.fieldNumber == FieldDescriptor::kRecordHashNumber) {
      field = FieldDescriptor::RecordHashField();
    } else if (keyField.fieldNumber >= 1 && keyField.fieldNumber <= fields_.size()) {
      field = fields_[keyField.fieldNumber - 1];
    }
    if (!field) {
      raise(ErrorCode::KEEL_INVALIDIDXDESC,
            {.table = tableName_, .field = std::to_string(keyField.fieldNumber), .index = index.name});
    }
    if (field->isBlob())
      raise(ErrorCode::KEEL_SEARCHCOLREQD, {.table = tableName_, .field = field->name, .index = index.name});
    size += 1u + TKeyLayout::KeyLength(field->type, field->dataLength);
  }
  const size_t pageLimit = (pageSize_ - index_layout::page::kHeaderSize) / 3;
  if (size < 1 || size > index_layout::kMaxKeyWithoutSuffix || size > pageLimit) {
    raise(ErrorCode::KEEL_INVALIDKEY, {.table = tableName_, .index = index.name});
  }
  index.keySize = static_cast<uint16_t>(size + index.suffixSize());
}

std::vector<IndexKeyField> TIndexDefinitions::resolveFields(std::string_view fieldList,
                                                            std::string_view descendingFields,
                                                            const std::string& indexName) const {
  const std::vector<std::string> descending = SplitList(descendingFields);
  std::vector<IndexKeyField> keyFields;
  for (const std::string& name : SplitList(fieldList)) {
    std::optional<uint16_t> number;
    if (SameIgnoringCase(name, "RecordID")) number = FieldDescriptor::kRecordIdNumber;
    if (SameIgnoringCase(name, "RecordHash")) number = FieldDescriptor::kRecordHashNumber;
    for (const FieldDescriptor& field : fields_) {
      if (!number && SameIgnoringCase(field.name, name)) number = field.number;
    }
    if (!number)
      raise(ErrorCode::KEEL_INVALIDIDXDESC, {.table = tableName_, .field = name, .index = indexName});
    bool isDescending = false;
    for (const std::string& d : descending) isDescending |= SameIgnoringCase(d, name);
    keyFields.push_back({*number, isDescending});
  }
  return keyFields;
}

}  // namespace keel
