#pragma once

// Serves column values from a row buffer in the table's stored layout (row
// header, then per field a null byte and the stored value), so that the
// evaluator can run over a cursor's current record.

#include <functional>
#include <span>
#include <string>

#include "engine/core/FieldDescriptor.h"
#include "engine/sql/RowAccessor.h"

namespace keel {

class TRowBufferAccessor : public TRowAccessor {
 public:
  // The contents of a BLOB field of the row (memo text or bytes).
  using BlobReader = std::function<std::string(const FieldDescriptor& field, std::span<const uint8_t> row)>;

  // `fields` must outlive the accessor. Columns are found by their field
  // number (FieldDescriptor::number, also the system fields' numbers).
  explicit TRowBufferAccessor(std::span<const FieldDescriptor> fields, BlobReader blobs = {});

  // The current record; it must stay valid while expressions are evaluated.
  void SetRow(std::span<const uint8_t> row) { row_ = row; }

  void ReadColumn(TExpToken& column) const override;

  // The value of stored bytes of `field` (not BLOB fields).
  static void Decode(const FieldDescriptor& field, std::span<const uint8_t> stored, TExpToken& into);

 private:
  const FieldDescriptor& FieldOf(const TExpToken& column) const;

  std::span<const FieldDescriptor> fields_;
  BlobReader blobs_;
  std::span<const uint8_t> row_;
  FieldDescriptor recordId_ = FieldDescriptor::RecordIdField();
  FieldDescriptor recordHash_ = FieldDescriptor::RecordHashField();
};

}  // namespace keel
