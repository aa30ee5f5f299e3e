#include "engine/core/Md5.h"

#include <array>
#include <cmath>
#include <cstring>

namespace keel {

namespace {

constexpr std::size_t kBlockSize = 64;

// Left rotations of the four rounds (RFC 1321, section 3.4).
constexpr std::array<int, 16> kShifts = {7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};

// T[i] = the integer part of 4294967296 * |sin(i + 1)|, i in radians.
const std::array<std::uint32_t, 64>& SineTable() {
  static const std::array<std::uint32_t, 64> table = [] {
    std::array<std::uint32_t, 64> made{};
    for (std::size_t i = 0; i < made.size(); ++i) {
      made[i] = static_cast<std::uint32_t>(std::floor(std::fabs(std::sin(static_cast<double>(i + 1))) * 4294967296.0));
    }
    return made;
  }();
  return table;
}

std::uint32_t RotateLeft(std::uint32_t value, int bits) { return (value << bits) | (value >> (32 - bits)); }

std::uint32_t ReadLittleEndian(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) | (std::uint32_t{bytes[2]} << 16) |
         (std::uint32_t{bytes[3]} << 24);
}

void Compress(std::array<std::uint32_t, 4>& state, const std::uint8_t* block) {
  std::array<std::uint32_t, 16> words{};
  for (std::size_t i = 0; i < words.size(); ++i) words[i] = ReadLittleEndian(block + 4 * i);
  const auto& sines = SineTable();
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (std::size_t i = 0; i < 64; ++i) {
    const std::size_t round = i / 16;
    std::uint32_t mixed = 0;
    std::size_t word = 0;
    switch (round) {
      case 0:
        mixed = (b & c) | (~b & d);
        word = i;
        break;
      case 1:
        mixed = (d & b) | (~d & c);
        word = (5 * i + 1) % 16;
        break;
      case 2:
        mixed = b ^ c ^ d;
        word = (3 * i + 5) % 16;
        break;
      default:
        mixed = c ^ (b | ~d);
        word = (7 * i) % 16;
        break;
    }
    const std::uint32_t rotated = RotateLeft(a + mixed + sines[i] + words[word], kShifts[round * 4 + i % 4]);
    a = d;
    d = c;
    c = b;
    b += rotated;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

}  // namespace

Md5Digest Md5(const void* data, size_t length) {
  std::array<std::uint32_t, 4> state = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::size_t whole = length - length % kBlockSize;
  for (std::size_t at = 0; at < whole; at += kBlockSize) Compress(state, bytes + at);

  // The tail, a 1 bit, zeros up to 56 bytes of the last block, then the
  // length in bits as a little-endian 64-bit number.
  std::array<std::uint8_t, 2 * kBlockSize> tail{};
  const std::size_t rest = length - whole;
  if (rest > 0) std::memcpy(tail.data(), bytes + whole, rest);
  tail[rest] = 0x80;
  const std::size_t tailSize = rest < kBlockSize - 8 ? kBlockSize : 2 * kBlockSize;
  const std::uint64_t bits = static_cast<std::uint64_t>(length) * 8;
  for (int i = 0; i < 8; ++i) tail[tailSize - 8 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  for (std::size_t at = 0; at < tailSize; at += kBlockSize) Compress(state, tail.data() + at);

  Md5Digest digest{};
  for (std::size_t i = 0; i < digest.size(); ++i) digest[i] = static_cast<std::uint8_t>(state[i / 4] >> (8 * (i % 4)));
  return digest;
}

Md5Digest Md5(std::string_view text) { return Md5(text.data(), text.size()); }

}  // namespace keel
