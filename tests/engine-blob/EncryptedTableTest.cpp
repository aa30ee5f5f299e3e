#include <gtest/gtest.h>

#include <nettle/blowfish.h>
#include <nettle/md5.h>

#include <array>
#include <cstring>
#include <string>

#include "engine/core/BlobFile.h"
#include "engine/core/DataFile.h"
#include "engine/core/FieldDescriptor.h"
#include "engine/core/PasswordList.h"
#include "tests/engine-blob/BlobFileFixture.h"
#include "tests/engine-blob/ErrorMatchers.h"
#include "tests/engine-blob/HexBytes.h"
#include "platform/Clock.h"

namespace keel {
namespace {

using testing::Bytes;
using testing::Hex;

// The files of a small encrypted table, laid out byte by byte from the format
// tables and encrypted with nettle's primitives directly: MD5 of the password
// as key, Blowfish blocks chained from a zero vector, restarted for every unit.
// Table: fields Id (integer) and Notes (memo), rows {101, "Born in a storm"}
// and {102, NULL}, BLOB block size 64.
struct HandMadeTable {
  static constexpr std::size_t kRowSize = 40;  // 25 + (1 + 4) + (1 + 8) = 39 -> 40
  static constexpr std::int32_t kBlockSize = 64;
  static constexpr const char* kNotes = "Born in a storm";

  std::array<std::uint8_t, 16> key{};
  std::vector<std::uint8_t> header = std::vector<std::uint8_t>(512, 0);
  std::vector<std::uint8_t> plainDescriptors = std::vector<std::uint8_t>(2 * 768, 0);
  std::vector<std::vector<std::uint8_t>> plainRows;
  std::vector<std::uint8_t> plainBlob = std::vector<std::uint8_t>(512 + kBlockSize, 0);

  explicit HandMadeTable(const std::string& password) {
    md5_ctx md5;
    md5_init(&md5);
    md5_update(&md5, password.size(), reinterpret_cast<const std::uint8_t*>(password.data()));
    md5_digest(&md5, key.size(), key.data());
    layOutHeader();
    layOutDescriptor(0, 1, "Id", 6, 0, 4, 25);
    layOutDescriptor(768, 2, "Notes", 3, 22, 8, 30);
    plainRows.push_back(row(1, 101, {1, 1}, true));
    plainRows.push_back(row(2, 102, {0, 0}, false));
    layOutBlob();
  }

  static void putI32(std::uint8_t* at, std::int32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
  static void putU16(std::uint8_t* at, int value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
  }
  static void putText(std::uint8_t* at, const std::string& text) {
    at[0] = static_cast<std::uint8_t>(text.size());
    std::memcpy(at + 1, text.data(), text.size());
  }
  static void putSignature(std::uint8_t* at) {
    const auto signature = Hex("8A BE 8E 59 23 64 CB 40 3D 71 D2 E3 BC 64 D0 01");
    std::copy(signature.begin(), signature.end(), at);
  }

  std::vector<std::uint8_t> encrypt(std::vector<std::uint8_t> unit) const {
    blowfish_ctx blowfish;
    blowfish_set_key(&blowfish, key.size(), key.data());
    std::array<std::uint8_t, 8> chain{};
    for (std::size_t at = 0; at + 8 <= unit.size(); at += 8) {
      for (std::size_t i = 0; i < 8; ++i) unit[at + i] ^= chain[i];
      blowfish_encrypt(&blowfish, 8, &unit[at], &unit[at]);
      std::copy_n(&unit[at], 8, chain.begin());
    }
    return unit;
  }

  void layOutHeader() {
    std::uint8_t* h = header.data();
    h[8] = 6;
    putSignature(h + 9);
    putI32(h + 29, 3);  // next row number
    putI32(h + 33, 2);  // last RecordID
    putI32(h + 41, 2);  // active rows
    putU16(h + 45, kRowSize);
    putU16(h + 47, 2);  // fields
    putU16(h + 49, 1);  // BLOB fields
    putI32(h + 51, kBlockSize);
    putI32(h + 55, 1);  // last BLOB stamp
    putI32(h + 59, 4096);
    h[172] = 1;  // encrypted
    std::vector<std::uint8_t> check(key.begin(), key.end());
    check = encrypt(check);
    std::copy(check.begin(), check.end(), h + 173);
  }

  void layOutDescriptor(std::size_t at, int number, const std::string& name, int type, int subtype, int length,
                        int offset) {
    std::uint8_t* d = plainDescriptors.data() + at;
    putU16(d, number);
    putText(d + 2, name);
    d[164] = static_cast<std::uint8_t>(type);
    d[165] = static_cast<std::uint8_t>(subtype);
    putU16(d + 169, length);
    putU16(d + 172, offset);
  }

  static std::vector<std::uint8_t> row(int number, std::int32_t id, std::array<std::int32_t, 2> notes, bool hasNotes) {
    std::vector<std::uint8_t> r(kRowSize, 0);
    putI32(&r[1], number);
    putI32(&r[5], number);
    r[25] = 1;
    putI32(&r[26], id);
    // The hash leaves the BLOB slot out (zeroed), so it is taken before it is set.
    md5_ctx md5;
    md5_init(&md5);
    md5_update(&md5, kRowSize - 25, &r[25]);
    md5_digest(&md5, 16, &r[9]);
    r[30] = hasNotes ? 1 : 0;
    putI32(&r[31], notes[0]);
    putI32(&r[35], notes[1]);
    return r;
  }

  void layOutBlob() {
    std::uint8_t* h = plainBlob.data();
    putI32(h, 1);  // HeaderChangeCount after one write
    h[8] = 6;
    putSignature(h + 9);
    putI32(h + 29, 2);  // one block
    h[33] = 1;          // the writer's header-modified flag
    std::uint8_t* block = h + 512;
    putI32(block + 10, 1);  // stamp
    putI32(block + 14, 15);  // total length
    putU16(block + 8, 15);
    std::memcpy(block + 18, kNotes, 15);
  }

  // The same table stored plain: encrypted flag 0, no password check.
  std::vector<std::uint8_t> plainDataFile() const {
    std::vector<std::uint8_t> file = header;
    std::fill(file.begin() + 172, file.begin() + 189, 0);
    file.insert(file.end(), plainDescriptors.begin(), plainDescriptors.end());
    for (const auto& plainRow : plainRows) file.insert(file.end(), plainRow.begin(), plainRow.end());
    return file;
  }

  std::vector<std::uint8_t> encryptedDataFile() const {
    std::vector<std::uint8_t> file = header;
    const auto descriptors = encrypt(plainDescriptors);
    file.insert(file.end(), descriptors.begin(), descriptors.end());
    for (const auto& plainRow : plainRows) {
      const auto row = encrypt(plainRow);
      file.insert(file.end(), row.begin(), row.end());
    }
    return file;
  }

  std::vector<std::uint8_t> encryptedBlobFile() const {
    std::vector<std::uint8_t> file = encrypt({plainBlob.begin(), plainBlob.begin() + 512});
    const auto block = encrypt({plainBlob.begin() + 512, plainBlob.end()});
    file.insert(file.end(), block.begin(), block.end());
    return file;
  }
};

std::span<const std::uint8_t, 16> CheckIn(const std::vector<std::uint8_t>& header) {
  return std::span<const std::uint8_t, 16>(header.data() + 173, 16);
}

class EncryptedTableTest : public testing::BlobFileFixture {};

TEST_F(EncryptedTableTest, HandMadeTableDecryptsAndReadsWithItsPassword) {
  const HandMadeTable table("Tallow&Wick");
  const auto descriptors = table.encrypt(table.plainDescriptors);
  const auto row1 = table.encrypt(table.plainRows[0]);

  TPasswordList passwords;
  passwords.add("someone else's");
  passwords.add("Tallow&Wick");
  const auto password = passwords.findForTable("Notes", CheckIn(table.header));
  ASSERT_EQ(password->text(), "Tallow&Wick");

  auto plain = descriptors;
  password->cipher().decrypt(plain);
  const FieldDescriptor notes =
      FieldDescriptor::decode(std::span<const std::uint8_t, FieldDescriptor::kSize>(plain.data() + 768, 768));
  EXPECT_EQ(notes.name, "Notes");
  EXPECT_EQ(notes.offset, 30);
  EXPECT_TRUE(notes.isBlob());

  auto row = row1;
  password->cipher().decrypt(row);
  EXPECT_EQ(row, table.plainRows[0]);
  EXPECT_EQ(row[27], 101 >> 8) << "Id 101 little-endian";

  lay(table.encryptedBlobFile());
  auto blob = makeFile(HandMadeTable::kBlockSize, {}, &password->cipher());
  blob->openFile();
  EXPECT_EQ(blob->readChain({1, 1}), Bytes(HandMadeTable::kNotes));
}

class EncryptedDataFileTest : public testing::BlobFileFixture {
protected:
  std::unique_ptr<TDataFile> openData(TPasswordList* passwords, bool encrypted = true) {
    const HandMadeTable table("Tallow&Wick");
    lay(encrypted ? table.encryptedDataFile() : table.plainDataFile(), "mem/Notes.dat");
    auto data = std::make_unique<TDataFile>(registry_, "mem/Notes.dat", EngineFileFlags{.inMemory = true}, "Notes",
                                            settings_, clock_);
    data->open(passwords);
    return data;
  }
  TEngineSettings settings_;
  mindrel::FixedClock clock_{mindrel::CivilDate{2000, 1, 1}};
};

TEST_F(EncryptedDataFileTest, HandMadeDataFileOpensAndReadsThroughDataFile) {
  TPasswordList passwords;
  passwords.add("Tallow&Wick");
  auto data = openData(&passwords);
  ASSERT_EQ(data->fields().size(), 2u);
  EXPECT_EQ(data->fields()[1].name, "Notes");
  const HandMadeTable table("Tallow&Wick");
  for (std::int64_t k = 1; k <= 2; ++k) {
    TPinnedUnit row = data->row(k);
    EXPECT_EQ(std::vector<std::uint8_t>(row->data(), row->data() + row->size()),
              table.plainRows[static_cast<std::size_t>(k - 1)]);
  }
}

TEST_F(EncryptedDataFileTest, PlainTableIgnoresKnownPasswords) {
  TPasswordList passwords;
  passwords.add("Tallow&Wick");
  auto data = openData(&passwords, false);
  EXPECT_FALSE(data->encrypted());
  EXPECT_EQ(data->fields()[0].name, "Id");
  TPinnedUnit row = data->row(1);
  EXPECT_EQ(std::vector<std::uint8_t>(row->data(), row->data() + row->size()),
            HandMadeTable("Tallow&Wick").plainRows[0]);
}

TEST_F(EncryptedDataFileTest, DataFileRefusesWrongOrMissingPassword) {
  TPasswordList wrongCase;
  wrongCase.add("tallow&wick");
  EXPECT_KEEL_ERROR(openData(&wrongCase), ErrorCode::KEEL_NOTSUFFTABLERIGHTS);
  EXPECT_KEEL_ERROR(openData(nullptr), ErrorCode::KEEL_NOTSUFFTABLERIGHTS);
}

TEST_F(EncryptedTableTest, EngineEncryptionMatchesHandMadeBytes) {
  const HandMadeTable table("Tallow&Wick");
  const TDataPassword password("Tallow&Wick");
  const auto check = password.cipher().passwordCheck();
  EXPECT_TRUE(std::equal(check.begin(), check.end(), table.header.begin() + 173));

  auto descriptors = table.plainDescriptors;
  password.cipher().encrypt(descriptors);
  EXPECT_EQ(descriptors, table.encrypt(table.plainDescriptors)) << "descriptor area as one unit";
  for (const auto& plainRow : table.plainRows) {
    auto row = plainRow;
    password.cipher().encrypt(row);
    EXPECT_EQ(row, table.encrypt(plainRow)) << "each row as one unit";
  }

  auto blob = create(HandMadeTable::kBlockSize, {}, &password.cipher());
  BlobReference reference;
  blob->writeChain(reference, Bytes(HandMadeTable::kNotes), 1);
  blob->writeBack();
  EXPECT_EQ(disk(), table.encryptedBlobFile()) << "BLOB header and block each a unit";
}

TEST_F(EncryptedTableTest, WrongPasswordGives10498NeverGarbage) {
  const HandMadeTable table("Tallow&Wick");
  for (const char* wrong : {"tallow&wick", "Tallow&Wick ", "", "Tallow"}) {
    SCOPED_TRACE(wrong);
    TPasswordList passwords;
    passwords.add(wrong);
    EXPECT_KEEL_ERROR(passwords.findForTable("Notes", CheckIn(table.header)), ErrorCode::KEEL_NOTSUFFTABLERIGHTS);
  }
}

}  // namespace
}  // namespace keel
