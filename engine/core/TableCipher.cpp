#include "engine/core/TableCipher.h"

#include <algorithm>

namespace keel {
namespace {

using Block = std::array<std::uint8_t, TBlowfish::kBlockSize>;

void xorInto(std::span<std::uint8_t, TBlowfish::kBlockSize> target, const Block& value) {
  for (std::size_t i = 0; i < value.size(); ++i) target[i] ^= value[i];
}

}  // namespace

TTableCipher::TTableCipher(const Digest& passwordDigest)
    : digest_(passwordDigest), blowfish_(passwordDigest) {}

void TTableCipher::encrypt(std::span<std::uint8_t> unit) const {
  Block chain{};
  for (std::size_t at = 0; at + TBlowfish::kBlockSize <= unit.size(); at += TBlowfish::kBlockSize) {
    auto block = unit.subspan(at).first<TBlowfish::kBlockSize>();
    xorInto(block, chain);
    blowfish_.encryptBlock(block);
    std::copy(block.begin(), block.end(), chain.begin());
  }
}

void TTableCipher::decrypt(std::span<std::uint8_t> unit) const {
  Block chain{};
  for (std::size_t at = 0; at + TBlowfish::kBlockSize <= unit.size(); at += TBlowfish::kBlockSize) {
    auto block = unit.subspan(at).first<TBlowfish::kBlockSize>();
    Block cipherText;
    std::copy(block.begin(), block.end(), cipherText.begin());
    blowfish_.decryptBlock(block);
    xorInto(block, chain);
    chain = cipherText;
  }
}

TTableCipher::Digest TTableCipher::passwordCheck() const {
  Digest check = digest_;
  encrypt(check);
  return check;
}

bool TTableCipher::acceptsCheck(std::span<const std::uint8_t, kDigestSize> storedCheck) const {
  Digest plain;
  std::copy(storedCheck.begin(), storedCheck.end(), plain.begin());
  decrypt(plain);
  return plain == digest_;
}

}  // namespace keel
