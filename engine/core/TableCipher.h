#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "engine/core/Blowfish.h"

namespace keel {

// The cipher of one encrypted table: Blowfish keyed with the 16-byte MD5
// digest of the password, in cipher-block chaining over each unit.
//
// Units (encrypted one at a time, each starting from a zero initialisation
// vector, so they can be read in any order):
//   data file:  the whole descriptor area, each row
//   index file: the header, the whole descriptor area, each page
//   BLOB file:  the header, each block
//   data file header: the 16-byte password check at offset 173
// The data file's 512-byte header itself is never encrypted.
//
// Only whole 8-byte blocks are transformed; trailing bytes of a unit whose
// length is not a multiple of 8 are left as they are.
//
// Thread safety: the chaining value lives on the stack of each call, so one
// cipher may serve several buffers at once and no error can leave it dirty.
class TTableCipher {
public:
  static constexpr std::size_t kDigestSize = 16;
  using Digest = std::array<std::uint8_t, kDigestSize>;

  explicit TTableCipher(const Digest& passwordDigest);

  void encrypt(std::span<std::uint8_t> unit) const;
  void decrypt(std::span<std::uint8_t> unit) const;

  // The value stored at data header offset 173 of a table encrypted with this
  // password: the digest encrypted as one 16-byte unit.
  Digest passwordCheck() const;

  // True when `storedCheck` (header offset 173) was made with this password.
  bool acceptsCheck(std::span<const std::uint8_t, kDigestSize> storedCheck) const;

  const Digest& digest() const { return digest_; }

private:
  Digest digest_;
  TBlowfish blowfish_;
};

}  // namespace keel
