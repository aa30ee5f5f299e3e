#include "engine/core/DataFileHeader.h"

#include <algorithm>
#include <cstring>

#include "engine/core/ByteOrder.h"

namespace keel {

namespace {

// Byte offsets inside the header.
constexpr size_t kChangeCountAt = 0;
constexpr size_t kVersionAt = 8;
constexpr size_t kSignatureAt = 9;
constexpr size_t kFreeRowHeadAt = 25;
constexpr size_t kNextRowNumberAt = 29;
constexpr size_t kLastRecordIdAt = 33;
constexpr size_t kLastAutoIncAt = 37;
constexpr size_t kActiveRowCountAt = 41;
constexpr size_t kRowSizeAt = 45;
constexpr size_t kFieldCountAt = 47;
constexpr size_t kBlobFieldCountAt = 49;
constexpr size_t kBlobBlockSizeAt = 51;
constexpr size_t kLastBlobStampAt = 55;
constexpr size_t kIndexPageSizeAt = 59;
constexpr size_t kLastUpdatedAt = 63;
constexpr size_t kDescriptionAt = 71, kDescriptionWidth = 101;
constexpr size_t kEncryptedAt = 172;
constexpr size_t kPasswordCheckAt = 173;
constexpr size_t kLocaleAt = 189;
constexpr size_t kUserMajorAt = 193;
constexpr size_t kUserMinorAt = 195;
constexpr size_t kModifiedFlagAt = 197;

}  // namespace

void DataFileHeader::encode(std::span<uint8_t, kSize> out) const {
  uint8_t* p = out.data();
  std::fill(out.begin(), out.end(), uint8_t{0});
  StoreI32(p + kChangeCountAt, changeCount);
  p[kVersionAt] = version;
  std::memcpy(p + kSignatureAt, signature.data(), signature.size());
  StoreI32(p + kFreeRowHeadAt, freeRowHead);
  StoreI32(p + kNextRowNumberAt, nextRowNumber);
  StoreI32(p + kLastRecordIdAt, lastRecordId);
  StoreI32(p + kLastAutoIncAt, lastAutoInc);
  StoreI32(p + kActiveRowCountAt, activeRowCount);
  StoreU16(p + kRowSizeAt, rowSize);
  StoreU16(p + kFieldCountAt, fieldCount);
  StoreU16(p + kBlobFieldCountAt, blobFieldCount);
  StoreI32(p + kBlobBlockSizeAt, blobBlockSize);
  StoreI32(p + kLastBlobStampAt, lastBlobStamp);
  StoreI32(p + kIndexPageSizeAt, indexPageSize);
  StoreF64(p + kLastUpdatedAt, lastUpdated);
  StoreShortString(p + kDescriptionAt, kDescriptionWidth, description);
  p[kEncryptedAt] = encrypted ? 1 : 0;
  std::memcpy(p + kPasswordCheckAt, passwordCheck.data(), passwordCheck.size());
  StoreU32(p + kLocaleAt, locale);
  StoreI16(p + kUserMajorAt, userMajor);
  StoreI16(p + kUserMinorAt, userMinor);
  p[kModifiedFlagAt] = modifiedFlag;
}

DataFileHeader DataFileHeader::decode(std::span<const uint8_t, kSize> in) {
  const uint8_t* p = in.data();
  DataFileHeader h;
  h.changeCount = LoadI32(p + kChangeCountAt);
  h.version = p[kVersionAt];
  std::memcpy(h.signature.data(), p + kSignatureAt, h.signature.size());
  h.freeRowHead = LoadI32(p + kFreeRowHeadAt);
  h.nextRowNumber = LoadI32(p + kNextRowNumberAt);
  h.lastRecordId = LoadI32(p + kLastRecordIdAt);
  h.lastAutoInc = LoadI32(p + kLastAutoIncAt);
  h.activeRowCount = LoadI32(p + kActiveRowCountAt);
  h.rowSize = LoadU16(p + kRowSizeAt);
  h.fieldCount = LoadU16(p + kFieldCountAt);
  h.blobFieldCount = LoadU16(p + kBlobFieldCountAt);
  h.blobBlockSize = LoadI32(p + kBlobBlockSizeAt);
  h.lastBlobStamp = LoadI32(p + kLastBlobStampAt);
  h.indexPageSize = LoadI32(p + kIndexPageSizeAt);
  h.lastUpdated = LoadF64(p + kLastUpdatedAt);
  h.description = LoadShortString(p + kDescriptionAt, kDescriptionWidth);
  h.encrypted = p[kEncryptedAt] != 0;
  std::memcpy(h.passwordCheck.data(), p + kPasswordCheckAt, h.passwordCheck.size());
  h.locale = LoadU32(p + kLocaleAt);
  h.userMajor = LoadI16(p + kUserMajorAt);
  h.userMinor = LoadI16(p + kUserMinorAt);
  h.modifiedFlag = p[kModifiedFlagAt];
  return h;
}

}  // namespace keel
