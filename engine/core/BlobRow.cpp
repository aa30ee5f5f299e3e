#include "engine/core/BlobRow.h"

#include "engine/core/ErrorCodes.h"

namespace keel {
namespace {

std::size_t referenceAt(std::size_t rowSize, const FieldDescriptor& field, const std::string& tableName) {
  const std::size_t at = static_cast<std::size_t>(field.offset) + 1;
  if (!field.isBlob() || at + BlobReference::kSize > rowSize) {
    raise(ErrorCode::KEEL_INVALIDBLOBOFFSET, {.table = tableName});
  }
  return at;
}

}  // namespace

BlobReference ReadBlobReference(std::span<const std::uint8_t> row, const FieldDescriptor& field,
                                const std::string& tableName) {
  const std::size_t at = referenceAt(row.size(), field, tableName);
  return BlobReference::decode(row.subspan(at).first<BlobReference::kSize>());
}

void WriteBlobReference(std::span<std::uint8_t> row, const FieldDescriptor& field, BlobReference reference,
                        const std::string& tableName) {
  const std::size_t at = referenceAt(row.size(), field, tableName);
  reference.encode(row.subspan(at).first<BlobReference::kSize>());
}

void SetBlobPresent(std::span<std::uint8_t> row, const FieldDescriptor& field, bool present) {
  row[field.offset] = present ? 1 : 0;
}

void EmptyBlobsOfDeletedRow(TBlobFile& file, std::span<const FieldDescriptor> fields, std::span<std::uint8_t> row,
                            const std::function<std::int32_t()>& nextStamp) {
  for (const FieldDescriptor& field : fields) {
    if (!field.isBlob()) continue;
    BlobReference reference = ReadBlobReference(row, field, file.tableName());
    file.emptyChain(reference, nextStamp());
    WriteBlobReference(row, field, reference, file.tableName());
    SetBlobPresent(row, field, false);
  }
}

}  // namespace keel
