#include "engine/sql/ResultRowBuilder.h"

#include <charconv>
#include <cstring>
#include <set>
#include <utility>

#include "engine/core/ByteOrder.h"
#include "engine/core/FieldCodec.h"
#include "engine/core/TextCase.h"
#include "engine/sql/ValueConverter.h"

namespace keel {

namespace {

std::string Folded(std::string_view name) {
  return UpperCase(name, 0);
}

std::string TextOfCurrency(double value, uint8_t decimals) {
  char text[64];
  auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  if (error != std::errc()) TValueConverter::RaiseExecution("The value cannot be stored as a BCD value");
  return std::string(text, end);
}

// The stored bytes of a non-null value of `target`'s type.
std::vector<uint8_t> StoredBytes(const TExpToken& value, const FieldDescriptor& target) {
  std::vector<uint8_t> bytes(std::max<size_t>(target.dataLength, 8), 0);
  uint8_t* p = bytes.data();
  switch (target.type) {
    case FieldType::Boolean:
    case FieldType::SmallInt:
      StoreI16(p, static_cast<int16_t>(value.Int));
      break;
    case FieldType::Word:
      StoreU16(p, static_cast<uint16_t>(value.Int));
      break;
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::Integer:
      StoreI32(p, static_cast<int32_t>(value.Int));
      break;
    case FieldType::LargeInt:
      StoreI64(p, value.Int);
      break;
    case FieldType::Float:
    case FieldType::Timestamp:
      StoreF64(p, value.Real);
      break;
    case FieldType::Bcd: {
      auto record = BcdFromText(TextOfCurrency(value.Real, target.decimals), target.decimals);
      if (!record) TValueConverter::RaiseExecution("The value cannot be stored as a BCD value");
      bytes.assign(record->begin(), record->end());
      break;
    }
    default:
      bytes.assign(value.Str.begin(), value.Str.end());
      break;
  }
  return bytes;
}

}  // namespace

TResultRowBuilder::TResultRowBuilder(TDataQuery& query, TDataCursor& source, const TExpressionErrors& errors,
                                     const mindrel::Clock& clock)
    : query_(query),
      source_(source),
      locale_(source.table().locale()),
      evaluator_(TCollation::ForLocale(source.table().locale(), source.table().name()), clock) {
  for (const TResultField& field : query_.ResultFields) {
    columns_.push_back(field.IsExpression ? ExpressionColumn(field, errors) : PlainColumn(field));
  }
  NameColumns();
  auto blobs = [&source](const FieldDescriptor& field, std::span<const uint8_t> row) {
    std::vector<uint8_t> value = source.blobValue(row, field);
    return std::string(value.begin(), value.end());
  };
  rows_ = std::make_unique<TRowBufferAccessor>(source.fields(), blobs);
  evaluator_.SetRowAccessor(rows_.get());
}

// A copy of the source column's type; what guards the source's values
// (constraints, defaults, auto-increment) stays with the source.
FieldDescriptor TResultRowBuilder::PlainColumn(const TResultField& field) const {
  const FieldDescriptor& sourceField = source_.field(static_cast<uint16_t>(field.FieldNumber));
  FieldDescriptor column;
  column.name = field.Name;
  column.type = sourceField.type;
  column.subtype = sourceField.subtype;
  column.size = sourceField.size;
  column.decimals = sourceField.decimals;
  column.compression = sourceField.compression;
  if (column.subtype == FieldSubtype::AutoInc || column.subtype == FieldSubtype::RecordHash) {
    column.subtype = FieldSubtype::None;
  }
  return column;
}

FieldDescriptor TResultRowBuilder::ExpressionColumn(const TResultField& field,
                                                    const TExpressionErrors& errors) const {
  const TExpToken& expression = *field.Expression;
  FieldDescriptor column;
  column.name = field.Name;
  column.type = expression.Type;
  column.subtype = expression.Subtype == FieldSubtype::AutoInc ? FieldSubtype::None : expression.Subtype;
  column.decimals = expression.Decimals;
  if (column.type == FieldType::None) {  // a bare NULL: an always-empty string
    column.type = FieldType::String;
    column.size = 1;
  }
  if (column.type == FieldType::String || column.type == FieldType::Bytes ||
      column.type == FieldType::VarBytes) {
    const uint32_t size =
        column.type == FieldType::String ? std::max<uint32_t>(expression.Size, 2) - 1 : expression.Size;
    if (size > kMaxFieldSize) {
      errors.Plain("Maximum field size (" + std::to_string(kMaxFieldSize) +
                       ") exceeded for column expression " + field.Text,
                   expression.Line, expression.Column);
    }
    column.size = static_cast<uint16_t>(std::max<uint32_t>(size, 1));
  }
  if (column.type == FieldType::Bcd && column.decimals == 0) column.decimals = 4;
  return column;
}

void TResultRowBuilder::NameColumns() {
  std::set<std::string> taken = {Folded("RecordID"), Folded("RecordHash")};
  for (size_t i = 0; i < columns_.size(); ++i) {
    std::string base = columns_[i].name.substr(0, FieldDescriptor::kMaxNameLength);
    if (base.empty() || static_cast<unsigned char>(base[0]) <= ' ')
      base = std::string("Column").append(std::to_string(i + 1));
    std::string name = base;
    for (int n = 1; taken.count(Folded(name)) != 0; ++n) {
      const std::string suffix = std::string(1, '_').append(std::to_string(n));
      name = base.substr(0, FieldDescriptor::kMaxNameLength - suffix.size()) + suffix;
    }
    taken.insert(Folded(name));
    columns_[i].name = name;
  }
}

void TResultRowBuilder::Fill(std::span<const uint8_t> sourceRow,
                             const std::vector<FieldDescriptor>& resultFields, std::span<uint8_t> row,
                             TDataCursor::BlobValues& blobs) {
  rows_->SetRow(sourceRow);
  for (size_t i = 0; i < query_.ResultFields.size(); ++i) {
    TResultField& field = query_.ResultFields[i];
    const FieldDescriptor& target = resultFields[i];
    if (field.IsExpression || field.FieldNumber < 0) {
      TExpToken& value = *field.Expression;
      evaluator_.Evaluate(value);
      if (target.isBlob()) {
        if (!value.Null) blobs[target.number] = std::vector<uint8_t>(value.Str.begin(), value.Str.end());
        continue;
      }
      StoreValue(value, target, row);
      continue;
    }
    const FieldDescriptor& sourceField = source_.field(static_cast<uint16_t>(field.FieldNumber));
    if (sourceField.isBlob()) {
      std::vector<uint8_t> value = source_.blobValue(sourceRow, sourceField);
      if (!value.empty()) blobs[target.number] = std::move(value);
      continue;
    }
    // Same type and size on both sides: the null byte and the value move as stored.
    const size_t length = 1u + sourceField.dataLength;
    if (sourceField.dataLength != target.dataLength || sourceField.offset + length > sourceRow.size() ||
        target.offset + length > row.size()) {
      TValueConverter::RaiseExecution("The column " + field.Name + " does not fit its result column");
    }
    std::memcpy(row.data() + target.offset, sourceRow.data() + sourceField.offset, length);
  }
}

void TResultRowBuilder::StoreValue(TExpToken& value, const FieldDescriptor& target,
                                   std::span<uint8_t> row) const {
  if (value.Null) {
    SetFieldNull(row, target);
    return;
  }
  if (value.Type != target.type) TValueConverter::Convert(value, target.type, target.subtype, target.size);
  if (value.Null) {
    SetFieldNull(row, target);
    return;
  }
  SetFieldValue(row, target, StoredBytes(value, target), locale_);
}

}  // namespace keel
