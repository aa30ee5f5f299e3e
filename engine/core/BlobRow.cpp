#include "engine/core/BlobRow.h"

#include "engine/core/Compression.h"
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

std::vector<std::uint8_t> ReadBlobValue(TBlobFile& file, const FieldDescriptor& field, std::span<std::uint8_t> row,
                                        const BlobRowReloader& reload) {
  const ErrorContext context{.table = file.tableName()};
  std::optional<std::vector<std::uint8_t>> stored = file.readChain(ReadBlobReference(row, field, file.tableName()));
  if (!stored) {
    // Rewritten by someone else since the row was read: take the row's
    // current reference and try once more.
    const std::optional<std::vector<std::uint8_t>> current =
        reload ? reload() : std::optional<std::vector<std::uint8_t>>();
    if (!current) raise(ErrorCode::KEEL_KEYORRECDELETED, context);
    const BlobReference reference = ReadBlobReference(*current, field, file.tableName());
    WriteBlobReference(row, field, reference, file.tableName());
    row[field.offset] = (*current)[field.offset];
    stored = file.readChain(reference);
    if (!stored) raise(ErrorCode::KEEL_MEMOCORRUPT, context);
  }
  if (field.compression == 0 || stored->empty()) return std::move(*stored);
  return DecompressBlobValue(*stored);
}

void WriteBlobValue(TBlobFile& file, const FieldDescriptor& field, std::span<std::uint8_t> row,
                    BlobReference reference, std::span<const std::uint8_t> value, std::int32_t stamp) {
  if (field.compression == 0 || value.empty()) {
    file.writeChain(reference, value, stamp);
  } else {
    file.writeChain(reference, CompressBlobValue(value, field.compression), stamp);
  }
  WriteBlobReference(row, field, reference, file.tableName());
  SetBlobPresent(row, field, !value.empty());
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
