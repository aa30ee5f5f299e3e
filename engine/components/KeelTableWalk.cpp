#include "engine/components/KeelTableWalk.h"

#include "engine/components/ComponentNames.h"
#include "engine/components/KeelDataSet.h"
#include "engine/components/KeelReadBatch.h"
#include "engine/components/StoredValue.h"
#include "engine/core/FieldCodec.h"
#include "engine/core/TextCase.h"

namespace keel {

TKeelTableWalk::TKeelTableWalk(TKeelDataSet& dataSet)
    : cursor_(dataSet.cursor().directory(), dataSet.cursor().table().name(), CursorOpenFlags{.readOnly = true}),
      read_(cursor_.table()),
      row_(cursor_.rowSize()) {
  cursor_.setIndex(TDataCursor::kPhysicalOrder);
}

const FieldDescriptor* TKeelTableWalk::Field(const std::string& name) const {
  for (const FieldDescriptor& field : cursor_.fields()) {
    if (SameName(AnsiToUtf8(field.name), name)) return &field;
  }
  return nullptr;
}

bool TKeelTableWalk::Next() {
  if (started_ && ++steps_ == TKeelReadBatch::kStepsBetweenPauses) {
    steps_ = 0;
    read_.pause();
  }
  const Nav at = started_ ? cursor_.next() : cursor_.first();
  started_ = true;
  if (at != Nav::Ok) return false;
  cursor_.currentRow(row_);
  return true;
}

bool TKeelTableWalk::IsNull(const FieldDescriptor& field) const { return GetField(row_, field).isNull; }

std::optional<int64_t> TKeelTableWalk::Integer(const FieldDescriptor& field) const {
  const FieldRead read = GetField(row_, field);
  if (read.isNull) return std::nullopt;
  return LoadInteger(field.type, read.bytes);
}

std::span<const uint8_t> TKeelTableWalk::Bytes(const FieldDescriptor& field) const {
  const FieldRead read = GetField(row_, field);
  return read.isNull ? std::span<const uint8_t>() : read.bytes;
}

std::string TKeelTableWalk::Text(const FieldDescriptor& field) const {
  const FieldRead read = GetField(row_, field);
  return read.isNull ? std::string() : TextOfStored(read.bytes);
}

}  // namespace keel
