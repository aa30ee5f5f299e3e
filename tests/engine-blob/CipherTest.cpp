#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "engine/core/Blowfish.h"
#include "engine/core/Md5.h"
#include "engine/core/TableCipher.h"
#include "tests/engine-blob/HexBytes.h"

namespace keel {
namespace {

using testing::Bytes;
using testing::Hex;

TEST(Md5, Rfc1321Suite) {
  struct Case {
    const char* text;
    const char* digest;
  };
  const Case cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const Case& c : cases) {
    const Md5Digest digest = Md5(std::string_view(c.text));
    EXPECT_EQ(std::vector<std::uint8_t>(digest.begin(), digest.end()), Hex(c.digest)) << '"' << c.text << '"';
  }
}

// Standard Blowfish vectors: 8-byte keys of the ECB table and the 16-byte key
// of the variable-key table, the length every table key has.
TEST(Blowfish, StandardVectorsBothWays) {
  struct Case {
    const char* key;
    const char* plain;
    const char* cipher;
  };
  const Case cases[] = {
      {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
      {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
      {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
      {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
      {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
      {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
      {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
      {"F0E1D2C3B4A59687", "FEDCBA9876543210", "E87A244E2CC85E82"},
      {"F0E1D2C3B4A5968778695A4B3C2D1E0F", "FEDCBA9876543210", "93142887EE3BE15C"},
  };
  for (const Case& c : cases) {
    const TBlowfish blowfish(Hex(c.key));
    std::vector<std::uint8_t> block = Hex(c.plain);
    blowfish.encryptBlock(std::span<std::uint8_t, 8>(block.data(), 8));
    EXPECT_EQ(block, Hex(c.cipher)) << "key " << c.key;
    blowfish.decryptBlock(std::span<std::uint8_t, 8>(block.data(), 8));
    EXPECT_EQ(block, Hex(c.plain)) << "key " << c.key;
  }
}

TTableCipher::Digest DigestOf(std::string_view hex) {
  TTableCipher::Digest digest{};
  const auto bytes = Hex(hex);
  std::copy(bytes.begin(), bytes.end(), digest.begin());
  return digest;
}

// The published chaining vector uses the vector FEDCBA9876543210; chaining from
// zero gives the same cipher text once that vector is folded into the first
// plain block, which checks the chaining against an outside reference.
TEST(TableCipher, ChainsLikePublishedCbcVector) {
  const TTableCipher cipher(DigestOf("0123456789ABCDEFF0E1D2C3B4A59687"));
  std::vector<std::uint8_t> unit = Bytes(std::string("7654321 Now is the time for ") + std::string(4, '\0'));
  const auto iv = Hex("FEDCBA9876543210");
  for (std::size_t i = 0; i < iv.size(); ++i) unit[i] ^= iv[i];
  const std::vector<std::uint8_t> plain = unit;

  cipher.encrypt(unit);
  EXPECT_EQ(unit, Hex("6B77B4D63006DEE6 05B156E274039793 58DEB9E7154616D9 59F1652BD5FF92CC"));
  cipher.decrypt(unit);
  EXPECT_EQ(unit, plain);
}

TEST(TableCipher, EveryUnitStartsFromZeroVector) {
  const TTableCipher cipher(Md5("secret"));
  std::vector<std::uint8_t> row(32);
  for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<std::uint8_t>(i * 7);
  const std::vector<std::uint8_t> plain = row;

  std::vector<std::uint8_t> first = row;
  cipher.encrypt(first);
  std::vector<std::uint8_t> second = row;
  cipher.encrypt(second);
  EXPECT_EQ(first, second) << "same row encrypted twice";

  // Four chained blocks: changing the first plain block changes all four.
  std::vector<std::uint8_t> changed = row;
  changed[0] ^= 1;
  cipher.encrypt(changed);
  for (std::size_t block = 0; block < 4; ++block) {
    EXPECT_FALSE(std::equal(first.begin() + block * 8, first.begin() + block * 8 + 8, changed.begin() + block * 8))
        << "block " << block;
  }

  // A unit may be decrypted alone, in any order.
  cipher.decrypt(second);
  EXPECT_EQ(second, plain);
}

TEST(TableCipher, LeavesBytesAfterLastWholeBlock) {
  const TTableCipher cipher(Md5("secret"));
  std::vector<std::uint8_t> shortUnit = Bytes("1234567");
  cipher.encrypt(shortUnit);
  EXPECT_EQ(shortUnit, Bytes("1234567"));

  std::vector<std::uint8_t> unit = Bytes("ABCDEFGHxyz");
  cipher.encrypt(unit);
  EXPECT_NE(std::vector<std::uint8_t>(unit.begin(), unit.begin() + 8), Bytes("ABCDEFGH"));
  EXPECT_EQ(std::vector<std::uint8_t>(unit.begin() + 8, unit.end()), Bytes("xyz"));
  cipher.decrypt(unit);
  EXPECT_EQ(unit, Bytes("ABCDEFGHxyz"));
}

TEST(TableCipher, PasswordCheckAcceptsOnlyItsOwnPassword) {
  const TTableCipher right(Md5("Harvest"));
  const TTableCipher::Digest check = right.passwordCheck();
  EXPECT_NE(check, right.digest());
  EXPECT_TRUE(TTableCipher(Md5("Harvest")).acceptsCheck(check)) << "same password typed again";
  EXPECT_FALSE(TTableCipher(Md5("harvest")).acceptsCheck(check)) << "differs only in case";
  EXPECT_FALSE(TTableCipher(Md5("")).acceptsCheck(check));
}

}  // namespace
}  // namespace keel
