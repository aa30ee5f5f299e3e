#include "engine/core/Blowfish.h"

#include <stdexcept>

namespace keel {

TBlowfish::TBlowfish(std::span<const std::uint8_t> key) {
  if (key.size() < BLOWFISH_MIN_KEY_SIZE || key.size() > BLOWFISH_MAX_KEY_SIZE) {
    throw std::invalid_argument("Blowfish key must be 8..56 bytes");
  }
  // A "weak" key (repeated S-box entries) only lowers the cipher's strength;
  // tables keyed with such a digest must still open, so the result is ignored.
  (void)blowfish_set_key(&context_, key.size(), key.data());
}

void TBlowfish::encryptBlock(std::span<std::uint8_t, kBlockSize> block) const {
  blowfish_encrypt(&context_, kBlockSize, block.data(), block.data());
}

void TBlowfish::decryptBlock(std::span<std::uint8_t, kBlockSize> block) const {
  blowfish_decrypt(&context_, kBlockSize, block.data(), block.data());
}

}  // namespace keel
