#include "engine/core/BlobFormat.h"

#include <algorithm>

#include "engine/core/ByteOrder.h"

namespace keel {

void BlobFileHeader::encode(std::span<std::uint8_t, kSize> out) const {
  std::fill(out.begin(), out.end(), 0);
  StoreI32(&out[kChangeCountAt], changeCount);
  out[kVersionAt] = version;
  std::copy(signature.begin(), signature.end(), out.begin() + kSignatureAt);
  StoreI32(&out[kFreeHeadAt], freeHead);
  StoreI32(&out[kNextBlockAt], nextBlock);
  out[kModifiedAt] = modified;
}

BlobFileHeader BlobFileHeader::decode(std::span<const std::uint8_t, kSize> in) {
  BlobFileHeader header;
  header.changeCount = LoadI32(&in[kChangeCountAt]);
  header.version = in[kVersionAt];
  std::copy_n(in.begin() + kSignatureAt, header.signature.size(), header.signature.begin());
  header.freeHead = LoadI32(&in[kFreeHeadAt]);
  header.nextBlock = LoadI32(&in[kNextBlockAt]);
  header.modified = in[kModifiedAt];
  return header;
}

void BlobBlockHeader::encode(std::span<std::uint8_t, kSize> out) const {
  StoreI32(&out[kPreviousAt], previous);
  StoreI32(&out[kNextAt], next);
  StoreU16(&out[kUsedAt], used);
  StoreI32(&out[kStampAt], stamp);
  StoreI32(&out[kTotalLengthAt], totalLength);
}

BlobBlockHeader BlobBlockHeader::decode(std::span<const std::uint8_t, kSize> in) {
  BlobBlockHeader header;
  header.previous = LoadI32(&in[kPreviousAt]);
  header.next = LoadI32(&in[kNextAt]);
  header.used = LoadU16(&in[kUsedAt]);
  header.stamp = LoadI32(&in[kStampAt]);
  header.totalLength = LoadI32(&in[kTotalLengthAt]);
  return header;
}

void BlobReference::encode(std::span<std::uint8_t, kSize> out) const {
  StoreI32(&out[0], firstBlock);
  StoreI32(&out[4], stamp);
}

BlobReference BlobReference::decode(std::span<const std::uint8_t, kSize> in) {
  return {LoadI32(&in[0]), LoadI32(&in[4])};
}

}  // namespace keel
