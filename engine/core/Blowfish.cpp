#include "engine/core/Blowfish.h"

#include <stdexcept>
#include <utility>
#include <vector>

namespace keel {

namespace {

// A fixed-point number: word 0 the integer part, then 32 bits of fraction a
// word, most significant first.
using FixedPoint = std::vector<std::uint32_t>;

void DivideBy(FixedPoint& number, std::uint32_t divisor) {
  std::uint64_t remainder = 0;
  for (std::uint32_t& word : number) {
    const std::uint64_t current = (remainder << 32) | word;
    word = static_cast<std::uint32_t>(current / divisor);
    remainder = current % divisor;
  }
}

void MultiplyBy(FixedPoint& number, std::uint32_t factor) {
  std::uint64_t carry = 0;
  for (auto word = number.rbegin(); word != number.rend(); ++word) {
    const std::uint64_t current = std::uint64_t{*word} * factor + carry;
    *word = static_cast<std::uint32_t>(current);
    carry = current >> 32;
  }
}

void Add(FixedPoint& sum, const FixedPoint& term) {
  std::uint64_t carry = 0;
  for (std::size_t i = sum.size(); i-- > 0;) {
    const std::uint64_t current = std::uint64_t{sum[i]} + term[i] + carry;
    sum[i] = static_cast<std::uint32_t>(current);
    carry = current >> 32;
  }
}

void Subtract(FixedPoint& difference, const FixedPoint& term) {
  std::int64_t borrow = 0;
  for (std::size_t i = difference.size(); i-- > 0;) {
    std::int64_t current = std::int64_t{difference[i]} - term[i] - borrow;
    borrow = current < 0 ? 1 : 0;
    if (current < 0) current += std::int64_t{1} << 32;
    difference[i] = static_cast<std::uint32_t>(current);
  }
}

bool IsZero(const FixedPoint& number) {
  for (std::uint32_t word : number) {
    if (word != 0) return false;
  }
  return true;
}

// arctan(1/x) = 1/x - 1/(3x^3) + 1/(5x^5) - ...
FixedPoint ArcTangentOfInverse(std::uint32_t x, std::size_t words) {
  FixedPoint power(words, 0);
  power[0] = 1;
  DivideBy(power, x);
  FixedPoint sum = power;
  for (std::uint32_t k = 1; !IsZero(power); ++k) {
    DivideBy(power, x * x);
    FixedPoint term = power;
    DivideBy(term, 2 * k + 1);
    if (k % 2 == 1) {
      Subtract(sum, term);
    } else {
      Add(sum, term);
    }
  }
  return sum;
}

// The initial P-array followed by the four S-boxes: the first 8336
// hexadecimal digits of pi's fraction, by Machin's formula
// pi = 16 arctan(1/5) - 4 arctan(1/239). Two guard words absorb the rounding
// of the series.
struct InitialState {
  TBlowfish::PArray p{};
  TBlowfish::SBoxes s{};

  InitialState() {
    const std::size_t digits = p.size() + 4 * 256;
    FixedPoint pi = ArcTangentOfInverse(5, 1 + digits + 2);
    MultiplyBy(pi, 16);
    FixedPoint other = ArcTangentOfInverse(239, pi.size());
    MultiplyBy(other, 4);
    Subtract(pi, other);
    std::size_t at = 1;
    for (std::uint32_t& word : p) word = pi[at++];
    for (auto& box : s) {
      for (std::uint32_t& word : box) word = pi[at++];
    }
  }
};

const InitialState& PiDigits() {
  static const InitialState state;
  return state;
}

std::uint32_t ReadBigEndian(const std::uint8_t* bytes) {
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
         bytes[3];
}

void WriteBigEndian(std::uint32_t word, std::uint8_t* bytes) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(word >> (24 - 8 * i));
}

}  // namespace

TBlowfish::TBlowfish(std::span<const std::uint8_t> key) {
  if (key.size() < kMinKeySize || key.size() > kMaxKeySize) {
    throw std::invalid_argument("Blowfish key must be 8..56 bytes");
  }
  p_ = PiDigits().p;
  s_ = PiDigits().s;
  std::size_t at = 0;
  for (std::uint32_t& word : p_) {
    std::uint32_t keyWord = 0;
    for (int i = 0; i < 4; ++i) keyWord = (keyWord << 8) | key[at++ % key.size()];
    word ^= keyWord;
  }
  // A "weak" key (repeated S-box entries) only lowers the cipher's strength;
  // tables keyed with such a digest must still open.
  std::uint32_t left = 0, right = 0;
  for (std::size_t i = 0; i < p_.size(); i += 2) {
    encryptWords(left, right);
    p_[i] = left;
    p_[i + 1] = right;
  }
  for (auto& box : s_) {
    for (std::size_t i = 0; i < box.size(); i += 2) {
      encryptWords(left, right);
      box[i] = left;
      box[i + 1] = right;
    }
  }
}

std::uint32_t TBlowfish::mix(std::uint32_t half) const {
  return ((s_[0][half >> 24] + s_[1][(half >> 16) & 0xFF]) ^ s_[2][(half >> 8) & 0xFF]) + s_[3][half & 0xFF];
}

void TBlowfish::encryptWords(std::uint32_t& left, std::uint32_t& right) const {
  for (std::size_t round = 0; round < kRounds; ++round) {
    left ^= p_[round];
    right ^= mix(left);
    std::swap(left, right);
  }
  std::swap(left, right);
  right ^= p_[kRounds];
  left ^= p_[kRounds + 1];
}

void TBlowfish::encryptBlock(std::span<std::uint8_t, kBlockSize> block) const {
  std::uint32_t left = ReadBigEndian(block.data());
  std::uint32_t right = ReadBigEndian(block.data() + 4);
  encryptWords(left, right);
  WriteBigEndian(left, block.data());
  WriteBigEndian(right, block.data() + 4);
}

void TBlowfish::decryptBlock(std::span<std::uint8_t, kBlockSize> block) const {
  std::uint32_t left = ReadBigEndian(block.data());
  std::uint32_t right = ReadBigEndian(block.data() + 4);
  for (std::size_t round = kRounds + 1; round > 1; --round) {
    left ^= p_[round];
    right ^= mix(left);
    std::swap(left, right);
  }
  std::swap(left, right);
  right ^= p_[1];
  left ^= p_[0];
  WriteBigEndian(left, block.data());
  WriteBigEndian(right, block.data() + 4);
}

}  // namespace keel
