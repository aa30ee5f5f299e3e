#pragma once

// BLOB fields inside a row buffer: the null-indicator byte at the field's
// offset, then the 8-byte BlobReference. In a cursor's row buffer a negative
// first block number is the handle of an open value (never written to a file).

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

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

// The row as it is now in the table, or nullopt when it was deleted or its
// RecordID changed; used when a value was rewritten since the row was read.
using BlobRowReloader = std::function<std::optional<std::vector<std::uint8_t>>()>;

// The value of BLOB `field` of `row` (the row must hold a block number, not a
// handle), decompressed at the field's level. When its first block carries
// another stamp, the row is read again through `reload` and the row buffer
// takes the current reference and null byte: 8708 when the row is gone (or
// there is no `reload`), 8963 when the stamp still differs. Damage: 8963,
// 8711, 15002.
std::vector<std::uint8_t> ReadBlobValue(TBlobFile& file, const FieldDescriptor& field, std::span<std::uint8_t> row,
                                        const BlobRowReloader& reload);

// Stores `value` for BLOB `field` of `row` under `stamp` in the chain of
// `reference` (the row slot's chain; none for a new slot): compressed at the
// field's level (15001), written into the chain, and the row buffer given the
// resulting reference and its null byte (NULL = empty).
void WriteBlobValue(TBlobFile& file, const FieldDescriptor& field, std::span<std::uint8_t> row,
                    BlobReference reference, std::span<const std::uint8_t> value, std::int32_t stamp);

// Deleting a row empties each of its BLOB values (length 0, a new stamp from
// `nextStamp`) but keeps the chains with the row slot.
void EmptyBlobsOfDeletedRow(TBlobFile& file, std::span<const FieldDescriptor> fields, std::span<std::uint8_t> row,
                            const std::function<std::int32_t()>& nextStamp);

}  // namespace keel
