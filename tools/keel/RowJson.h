#pragma once

// Field values between rows and JSON for the keel tool. Strings are UTF-8 in
// JSON and Windows-1252 inside tables. Bad values raise EUsageError.

#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/core/DataCursor.h"
#include "tools/keel/Json.h"

namespace mindrel {

// Bad command-line arguments or values: the tool answers with exit code 64.
class EUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

TJsonValue FieldToJson(keel::TDataCursor& cursor, std::span<const uint8_t> row, const keel::FieldDescriptor& field);
// Sets `field` of `row` from `value`; BLOB values go to `blobs`.
void JsonToField(keel::TDataCursor& cursor, std::span<uint8_t> row, const keel::FieldDescriptor& field,
                 const TJsonValue& value, keel::TDataCursor::BlobValues& blobs);
// Sets every member of `object` on `row` (members name fields).
void JsonToRow(keel::TDataCursor& cursor, std::span<uint8_t> row, const TJsonValue& object,
               keel::TDataCursor::BlobValues& blobs);
// "RecordID" first, then every field in order.
TJsonValue RowToJson(keel::TDataCursor& cursor, std::span<const uint8_t> row);

}  // namespace mindrel
