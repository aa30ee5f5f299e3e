#include "engine/sql/RowBufferAccessor.h"

#include <utility>

#include "engine/core/ByteOrder.h"
#include "engine/core/ErrorCodes.h"
#include "engine/core/FieldCodec.h"
#include "engine/sql/ExpToken.h"
#include "engine/sql/ValueConverter.h"

namespace keel {

TRowBufferAccessor::TRowBufferAccessor(std::span<const FieldDescriptor> fields, BlobReader blobs)
    : fields_(fields), blobs_(std::move(blobs)) {}

const FieldDescriptor& TRowBufferAccessor::FieldOf(const TExpToken& column) const {
  auto number = static_cast<uint16_t>(column.FieldNumber);
  if (number == FieldDescriptor::kRecordIdNumber) return recordId_;
  if (number == FieldDescriptor::kRecordHashNumber) return recordHash_;
  for (const auto& field : fields_) {
    if (field.number == number && column.FieldNumber > 0) return field;
  }
  ErrorContext context;
  context.field = column.ColumnName;
  raise(ErrorCode::KEEL_OUTOFRANGE, std::move(context));
}

void TRowBufferAccessor::ReadColumn(TExpToken& column) const {
  const FieldDescriptor& field = FieldOf(column);
  FieldRead read = GetField(row_, field);
  column.ClearValue();
  if (read.isNull) return;
  if (field.isBlob()) {
    if (!blobs_) TValueConverter::RaiseExecution("The BLOB field " + field.name + " cannot be read here");
    column.Str = blobs_(field, row_);
    column.Null = column.Str.empty();
    return;
  }
  Decode(field, read.bytes, column);
}

void TRowBufferAccessor::Decode(const FieldDescriptor& field, std::span<const uint8_t> stored, TExpToken& into) {
  const uint8_t* p = stored.data();
  into.ClearValue();
  into.Null = false;
  switch (field.type) {
    case FieldType::String: {
      std::string text(reinterpret_cast<const char*>(p), stored.size());
      into.Str = text.substr(0, text.find('\0'));
      break;
    }
    case FieldType::Boolean:
    case FieldType::SmallInt: into.Int = LoadI16(p); break;
    case FieldType::Word: into.Int = LoadU16(p); break;
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::Integer: into.Int = LoadI32(p); break;
    case FieldType::LargeInt: into.Int = LoadI64(p); break;
    case FieldType::Float:
    case FieldType::Timestamp: into.Real = LoadF64(p); break;
    case FieldType::Bcd: into.Real = BcdToCurrency(stored); break;
    default: into.Str.assign(reinterpret_cast<const char*>(p), stored.size()); break;
  }
}

}  // namespace keel
