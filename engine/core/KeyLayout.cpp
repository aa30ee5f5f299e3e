#include "engine/core/KeyLayout.h"

#include <algorithm>

#include "engine/core/ErrorCodes.h"

namespace keel {

uint16_t TKeyLayout::KeyLength(FieldType type, uint16_t storedLength) {
  return type == FieldType::Bcd ? uint16_t{8} : storedLength;
}

TKeyLayout::TKeyLayout(const IndexDescriptor& index, std::span<const FieldDescriptor> fields,
                       std::shared_ptr<const TCollation> collation, const std::string& tableName)
    : suffixSize_(index.suffixSize()),
      caseInsensitive_(index.caseInsensitive),
      collation_(std::move(collation)) {
  auto corrupt = [&] { raise(ErrorCode::KEEL_HEADERCORRUPT, {.table = tableName, .index = index.name}); };
  size_t offset = 0;
  for (const IndexKeyField& keyField : index.fields) {
    FieldDescriptor field;
    if (keyField.fieldNumber == FieldDescriptor::kRecordIdNumber) {
      field = FieldDescriptor::RecordIdField();
    } else if (keyField.fieldNumber == FieldDescriptor::kRecordHashNumber) {
      field = FieldDescriptor::RecordHashField();
    } else if (keyField.fieldNumber >= 1 && keyField.fieldNumber <= fields.size()) {
      field = fields[keyField.fieldNumber - 1];
    } else {
      corrupt();
    }
    if (field.isBlob() || field.dataLength == 0) corrupt();
    KeySegment s;
    s.type = field.type;
    s.subtype = field.subtype;
    s.length = KeyLength(field.type, field.dataLength);
    s.keyOffset = static_cast<uint16_t>(offset);
    s.rowOffset = field.offset;
    s.system = field.isSystem();
    s.descending = keyField.descending;
    s.collated = field.type == FieldType::String && !collation_->isBytewise();
    segments_.push_back(s);
    offset = s.end();
    rowSpan_ = std::max<size_t>(rowSpan_, size_t{field.offset} + (s.system ? 0u : 1u) + field.dataLength);
  }
  keySize_ = offset + suffixSize_;
  if (segments_.empty() || keySize_ != index.keySize) corrupt();
}

size_t TKeyLayout::compareLength(size_t fieldCount, size_t partialLength) const {
  fieldCount = std::min(fieldCount, segments_.size());
  size_t length = fieldCount == 0 ? 0 : segments_[fieldCount - 1].end();
  if (partialLength > 0 && fieldCount < segments_.size()) {
    length += 1 + std::min<size_t>(partialLength, segments_[fieldCount].length);
  }
  return length;
}

}  // namespace keel
