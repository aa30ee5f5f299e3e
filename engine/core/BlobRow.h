#pragma once

// BLOB fields inside a row buffer: the null-indicator byte at the field's
// offset, then the 8-byte BlobReference. In a cursor's row buffer a negative
// first block number is the handle of an open value (never written to a file).

#include <cstdint>
#include <functional>
#include <span>

#include "engine/core/BlobFile.h"
#include "engine/core/FieldDescriptor.h"

namespace keel {

// The reference of BLOB `field` in `row`; 9998 when the row is too short.
BlobReference ReadBlobReference(std::span<const std::uint8_t> row, const FieldDescriptor& field,
                                const std::string& tableName);
void WriteBlobReference(std::span<std::uint8_t> row, const FieldDescriptor& field, BlobReference reference,
                        const std::string& tableName);
// Sets the null-indicator byte: a BLOB value is NULL exactly when it is empty.
void SetBlobPresent(std::span<std::uint8_t> row, const FieldDescriptor& field, bool present);

// Deleting a row empties each of its BLOB values (length 0, a new stamp from
// `nextStamp`) but keeps the chains with the row slot.
void EmptyBlobsOfDeletedRow(TBlobFile& file, std::span<const FieldDescriptor> fields, std::span<std::uint8_t> row,
                            const std::function<std::int32_t()>& nextStamp);

}  // namespace keel
