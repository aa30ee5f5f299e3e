#pragma once

#include <cstdint>
#include <span>

#include <nettle/blowfish.h>

namespace keel {

// The Blowfish block cipher with the standard key schedule (P-array and
// S-boxes from the digits of pi). Blocks are two 32-bit words, most
// significant byte first, which is the byte order the table files use.
class TBlowfish {
public:
  static constexpr std::size_t kBlockSize = BLOWFISH_BLOCK_SIZE;

  // key: 8..56 bytes (tables always use the 16-byte password digest).
  explicit TBlowfish(std::span<const std::uint8_t> key);

  void encryptBlock(std::span<std::uint8_t, kBlockSize> block) const;
  void decryptBlock(std::span<std::uint8_t, kBlockSize> block) const;

private:
  blowfish_ctx context_{};
};

}  // namespace keel
