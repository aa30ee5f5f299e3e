#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace keel {

// The Blowfish block cipher with the standard key schedule (P-array and
// S-boxes from the digits of pi). Blocks are two 32-bit words, most
// significant byte first, which is the byte order the table files use.
class TBlowfish {
public:
  static constexpr std::size_t kBlockSize = 8;
  static constexpr std::size_t kMinKeySize = 8;
  static constexpr std::size_t kMaxKeySize = 56;

  // key: 8..56 bytes (tables always use the 16-byte password digest).
  explicit TBlowfish(std::span<const std::uint8_t> key);

  void encryptBlock(std::span<std::uint8_t, kBlockSize> block) const;
  void decryptBlock(std::span<std::uint8_t, kBlockSize> block) const;

  static constexpr std::size_t kRounds = 16;
  using PArray = std::array<std::uint32_t, kRounds + 2>;
  using SBoxes = std::array<std::array<std::uint32_t, 256>, 4>;

private:
  std::uint32_t mix(std::uint32_t half) const;
  void encryptWords(std::uint32_t& left, std::uint32_t& right) const;

  PArray p_{};
  SBoxes s_{};
};

}  // namespace keel
