#include "engine/core/IndexFileHeader.h"

#include <algorithm>

#include "engine/core/ByteOrder.h"

namespace keel {

namespace h = index_layout::header;

void IndexFileHeader::encode(std::span<uint8_t, kSize> out) const {
  uint8_t* p = out.data();
  std::fill(out.begin(), out.end(), uint8_t{0});
  StoreI32(p + h::kChangeCount, changeCount);
  p[h::kVersion] = version;
  std::copy(signature.begin(), signature.end(), p + h::kSignature);
  StoreI32(p + h::kFreeHead, freeHead);
  StoreI32(p + h::kNextPage, nextPage);
  p[h::kSecondaryCount] = secondaryCount;
  for (size_t i = 0; i < roots.size(); ++i) {
    StoreI32(p + h::kRoots + 4 * i, roots[i]);
    StoreI32(p + h::kDataRoots + 4 * i, dataRoots[i]);
  }
  p[h::kModifiedFlag] = modified;
}

IndexFileHeader IndexFileHeader::decode(std::span<const uint8_t, kSize> in) {
  const uint8_t* p = in.data();
  IndexFileHeader x;
  x.changeCount = LoadI32(p + h::kChangeCount);
  x.version = p[h::kVersion];
  std::copy(p + h::kSignature, p + h::kSignature + h::kSignatureSize, x.signature.begin());
  x.freeHead = LoadI32(p + h::kFreeHead);
  x.nextPage = LoadI32(p + h::kNextPage);
  x.secondaryCount = p[h::kSecondaryCount];
  for (size_t i = 0; i < x.roots.size(); ++i) {
    x.roots[i] = LoadI32(p + h::kRoots + 4 * i);
    x.dataRoots[i] = LoadI32(p + h::kDataRoots + 4 * i);
  }
  x.modified = p[h::kModifiedFlag];
  return x;
}

}  // namespace keel
