#pragma once

// Little-endian encode/decode of the integers and doubles of the table files,
// and the length-prefixed "shortstring" texts of fixed width in headers and
// descriptors. Callers check that the bytes exist before calling.

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace keel {

inline uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline int16_t LoadI16(const uint8_t* p) { return static_cast<int16_t>(LoadU16(p)); }
inline uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t LoadI32(const uint8_t* p) { return static_cast<int32_t>(LoadU32(p)); }
inline uint64_t LoadU64(const uint8_t* p) {
  return static_cast<uint64_t>(LoadU32(p)) | (static_cast<uint64_t>(LoadU32(p + 4)) << 32);
}
inline int64_t LoadI64(const uint8_t* p) { return static_cast<int64_t>(LoadU64(p)); }
inline double LoadF64(const uint8_t* p) { return std::bit_cast<double>(LoadU64(p)); }

inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreI16(uint8_t* p, int16_t v) { StoreU16(p, static_cast<uint16_t>(v)); }
inline void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void StoreI32(uint8_t* p, int32_t v) { StoreU32(p, static_cast<uint32_t>(v)); }
inline void StoreU64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void StoreI64(uint8_t* p, int64_t v) { StoreU64(p, static_cast<uint64_t>(v)); }
inline void StoreF64(uint8_t* p, double v) { StoreU64(p, std::bit_cast<uint64_t>(v)); }

// A shortstring of `width` bytes: length byte, characters, zeros. A length byte
// larger than the room gives the characters that fit; verification reports it.
inline std::string LoadShortString(const uint8_t* p, size_t width) {
  size_t length = p[0];
  if (length > width - 1) length = width - 1;
  return std::string(reinterpret_cast<const char*>(p + 1), length);
}
// Texts longer than the room are cut.
inline void StoreShortString(uint8_t* p, size_t width, std::string_view text) {
  size_t length = text.size() < width - 1 ? text.size() : width - 1;
  std::memset(p, 0, width);
  p[0] = static_cast<uint8_t>(length);
  std::memcpy(p + 1, text.data(), length);
}

}  // namespace keel
