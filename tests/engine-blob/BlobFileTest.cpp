#include <gtest/gtest.h>

#include <string>

#include "engine/core/BlobFile.h"
#include "tests/engine-blob/ErrorMatchers.h"
#include "tests/engine-blob/HexBytes.h"
#include "tests/engine-blob/MemoryStorage.h"

namespace keel {
namespace {

using testing::Bytes;
using testing::Hex;
using testing::MemoryStorage;

// Raw little-endian reads of the file image, independent of the engine's codec.
std::int32_t I32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return static_cast<std::int32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                   static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}
void PutI32(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The raw header fields of block n of a file with block size s.
struct RawBlock {
  std::int32_t previous, next, used, stamp, total;
};
RawBlock BlockAt(const std::vector<std::uint8_t>& file, std::size_t s, std::size_t n) {
  const std::size_t at = 512 + (n - 1) * s;
  return {I32(file, at), I32(file, at + 4), file[at + 8] | file[at + 9] << 8, I32(file, at + 10), I32(file, at + 14)};
}

std::vector<std::uint8_t> Letters(std::size_t n) {
  std::vector<std::uint8_t> value(n);
  for (std::size_t i = 0; i < n; ++i) value[i] = static_cast<std::uint8_t>('a' + i % 26);
  return value;
}

TBlobFile::Options Plain(std::int32_t blockSize = 512) {
  TBlobFile::Options options;
  options.tableName = "People";
  options.blockSize = blockSize;
  return options;
}

TEST(BlobFile, NewFileHeaderBytes) {
  MemoryStorage storage;
  TBlobFile::create(storage, Plain());
  ASSERT_EQ(storage.bytes.size(), 512u);
  std::vector<std::uint8_t> expected(512, 0);
  expected[8] = 6;
  const auto signature = Hex("8A BE 8E 59 23 64 CB 40 3D 71 D2 E3 BC 64 D0 01");
  std::copy(signature.begin(), signature.end(), expected.begin() + 9);
  expected[29] = 1;  // next block
  EXPECT_EQ(storage.bytes, expected);
}

TEST(BlobFile, ThousandBytesInBlocksOf512TakeThreeBlocks) {
  MemoryStorage storage;
  TBlobFile file = TBlobFile::create(storage, Plain());
  const auto value = Letters(1000);
  BlobReference reference;
  file.writeChain(reference, value, 77);
  file.writeHeader();

  EXPECT_EQ(reference, (BlobReference{1, 77}));
  ASSERT_EQ(storage.bytes.size(), 512u + 3 * 512u);
  EXPECT_EQ(I32(storage.bytes, 29), 4) << "next block number";
  EXPECT_EQ(I32(storage.bytes, 0), 1) << "HeaderChangeCount advanced by the write";

  const RawBlock first = BlockAt(storage.bytes, 512, 1), second = BlockAt(storage.bytes, 512, 2),
                 third = BlockAt(storage.bytes, 512, 3);
  EXPECT_EQ((std::vector<int>{first.previous, first.next, first.used, first.stamp, first.total}),
            (std::vector<int>{0, 2, 494, 77, 1000}));
  EXPECT_EQ((std::vector<int>{second.previous, second.next, second.used, second.stamp, second.total}),
            (std::vector<int>{1, 3, 494, 0, 0}));
  EXPECT_EQ((std::vector<int>{third.previous, third.next, third.used, third.stamp, third.total}),
            (std::vector<int>{2, 0, 12, 0, 0}));
  // The data of block 3 starts 18 bytes into it.
  EXPECT_EQ(storage.bytes[512 + 2 * 512 + 18], value[988]);

  TBlobFile reopened = TBlobFile::open(storage, Plain());
  EXPECT_EQ(reopened.readChain(reference), value);
}

TEST(BlobFile, ShorterValueKeepsChainAndLongerOneReusesIt) {
  MemoryStorage storage;
  TBlobFile file = TBlobFile::create(storage, Plain());
  BlobReference reference;
  file.writeChain(reference, Letters(1000), 1);

  file.writeChain(reference, Bytes("short"), 2);
  EXPECT_EQ(file.readChain(reference), Bytes("short"));
  const RawBlock first = BlockAt(storage.bytes, 512, 1);
  EXPECT_EQ(first.next, 2) << "blocks past the value stay linked";
  EXPECT_EQ(first.total, 5);

  file.writeChain(reference, Letters(1400), 3);
  EXPECT_EQ(file.blockCount(), 3) << "no new block";
  EXPECT_EQ(file.readChain(reference), Letters(1400));

  file.writeChain(reference, Letters(1500), 4);
  EXPECT_EQ(file.blockCount(), 4) << "a fourth block is appended to the chain";
  EXPECT_EQ(BlockAt(storage.bytes, 512, 4).previous, 3);
  EXPECT_EQ(file.readChain(reference), Letters(1500));
}

TEST(BlobFile, EmptyValueKeepsChainAndNeedsNoBlockInNewSlot) {
  MemoryStorage storage;
  TBlobFile file = TBlobFile::create(storage, Plain());
  BlobReference fresh;
  file.writeChain(fresh, {}, 5);
  EXPECT_EQ(fresh, (BlobReference{0, 5}));
  EXPECT_EQ(file.blockCount(), 0);
  EXPECT_EQ(file.readChain(fresh), std::vector<std::uint8_t>{});

  BlobReference used;
  file.writeChain(used, Letters(600), 6);
  file.emptyChain(used, 7);
  EXPECT_EQ(used, (BlobReference{1, 7}));
  EXPECT_EQ(BlockAt(storage.bytes, 512, 1).total, 0);
  EXPECT_EQ(BlockAt(storage.bytes, 512, 1).next, 2);
  EXPECT_EQ(file.readChain(used), std::vector<std::uint8_t>{});
}

TEST(BlobFile, StaleStampIsReportedNotRead) {
  MemoryStorage storage;
  TBlobFile file = TBlobFile::create(storage, Plain());
  BlobReference reference;
  file.writeChain(reference, Bytes("one"), 10);
  const BlobReference stale = reference;
  file.writeChain(reference, Bytes("two"), 11);
  EXPECT_FALSE(file.readChain(stale).has_value());
  EXPECT_EQ(file.readChain(reference), Bytes("two"));
}

TEST(BlobFile, FreeBlockChainIsHonouredWhenAllocating) {
  MemoryStorage storage;
  TBlobFile file = TBlobFile::create(storage, Plain(64));
  BlobReference reference;
  file.writeChain(reference, Letters(4 * 46), 1);  // blocks 1..4
  file.writeHeader();
  // As another tool might leave it: blocks 4 then 2 free.
  PutI32(storage.bytes, 25, 4);
  PutI32(storage.bytes, 512 + 3 * 64 + 4, 2);
  PutI32(storage.bytes, 512 + 1 * 64 + 4, 0);

  TBlobFile reopened = TBlobFile::open(storage, Plain(64));
  EXPECT_EQ(reopened.allocateBlock(), 4);
  EXPECT_EQ(reopened.header().freeHead, 2);
  EXPECT_EQ(reopened.allocateBlock(), 2);
  EXPECT_EQ(reopened.allocateBlock(), 5);
  EXPECT_EQ(reopened.header().nextBlock, 6);
  EXPECT_EQ(reopened.readBlock(4).header.next, 0) << "handed out cleared";
}

TEST(BlobFile, FileSizeLimitGives9479AndKeepsOldValue) {
  MemoryStorage storage;
  TBlobFile::Options options = Plain(64);
  options.sizeLimit = 512 + 3 * 64;
  TBlobFile file = TBlobFile::create(storage, options);
  BlobReference reference;
  file.writeChain(reference, Letters(2 * 46), 1);
  EXPECT_KEEL_ERROR(file.writeChain(reference, Letters(5 * 46), 2), ErrorCode::KEEL_TABLEFULL);
  EXPECT_EQ(file.readChain(reference), Letters(2 * 46)) << "no half-written value";
}

TEST(BlobFile, BlockLargerThanDataAreaGives10029) {
  MemoryStorage storage;
  TBlobFile file = TBlobFile::create(storage, Plain(64));
  const std::int32_t n = file.allocateBlock();
  BlobBlock block;
  block.data.assign(47, 1);
  EXPECT_KEEL_ERROR(file.writeBlock(n, block), ErrorCode::KEEL_INVALIDBLOBLEN);
}

// Damaged chains in a file with block size 64 holding one 3-block value
// (blocks 1 -> 2 -> 3, 46 + 46 + 8 bytes) and a fourth unused block.
TEST(BlobFile, DamagedChainsRaiseTheirErrors) {
  constexpr std::size_t S = 64;
  struct Case {
    const char* what;
    std::size_t block;  // whose header field is overwritten
    std::size_t field;  // byte offset in the block header
    std::int32_t value;
    ErrorCode expected;
  };
  const Case cases[] = {
      {"next link past the last block", 2, 4, 9, ErrorCode::KEEL_MEMOCORRUPT},
      {"negative next link", 1, 4, -3, ErrorCode::KEEL_MEMOCORRUPT},
      {"cycle back to the first block", 2, 4, 1, ErrorCode::KEEL_MEMOCORRUPT},
      {"self link", 2, 4, 2, ErrorCode::KEEL_MEMOCORRUPT},
      {"short block", 2, 8, 45, ErrorCode::KEEL_ENDOFBLOB},
      {"chain ends early", 2, 4, 0, ErrorCode::KEEL_ENDOFBLOB},
      {"total length past the file", 1, 14, 1000000, ErrorCode::KEEL_MEMOCORRUPT},
      {"negative total length", 1, 14, -1, ErrorCode::KEEL_MEMOCORRUPT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryStorage storage;
    TBlobFile file = TBlobFile::create(storage, Plain(S));
    BlobReference reference;
    file.writeChain(reference, Letters(100), 1);
    file.allocateBlock();
    const std::size_t at = 512 + (c.block - 1) * S + c.field;
    if (c.field == 8) {
      storage.bytes[at] = static_cast<std::uint8_t>(c.value);
      storage.bytes[at + 1] = 0;
    } else {
      PutI32(storage.bytes, at, c.value);
    }
    EXPECT_KEEL_ERROR(file.readChain(reference), c.expected);
  }
}

TEST(BlobFile, ReferenceOutsideFileAndCyclicFreeChainGive8963) {
  MemoryStorage storage;
  TBlobFile file = TBlobFile::create(storage, Plain(64));
  BlobReference reference;
  file.writeChain(reference, Letters(100), 1);
  file.writeHeader();
  EXPECT_KEEL_ERROR(file.readChain({7, 1}), ErrorCode::KEEL_MEMOCORRUPT);
  EXPECT_KEEL_ERROR(file.readChain({-2, 1}), ErrorCode::KEEL_MEMOCORRUPT);

  PutI32(storage.bytes, 25, 2);            // free head: block 2
  PutI32(storage.bytes, 512 + 64 + 4, 3);  // 2 -> 3
  PutI32(storage.bytes, 512 + 128 + 4, 2); // 3 -> 2
  TBlobFile reopened = TBlobFile::open(storage, Plain(64));
  EXPECT_KEEL_ERROR(reopened.allocateBlock(), ErrorCode::KEEL_MEMOCORRUPT);
}

TEST(BlobFile, DamagedHeadersAreRefusedOnOpen) {
  struct Case {
    const char* what;
    std::size_t at;
    std::int32_t value;  // written as a byte for offset 8, else as int32
    ErrorCode expected;
  };
  const Case cases[] = {
      {"version 5", 8, 5, ErrorCode::KEEL_OLDVERSION},
      {"version 9", 8, 9, ErrorCode::KEEL_BADSIGNATURE},
      {"foreign signature", 9, 0x12345678, ErrorCode::KEEL_BADSIGNATURE},
      {"more blocks than the file holds", 29, 5, ErrorCode::KEEL_HEADERCORRUPT},
      {"next block 0", 29, 0, ErrorCode::KEEL_HEADERCORRUPT},
      {"free head past the last block", 25, 3, ErrorCode::KEEL_HEADERCORRUPT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryStorage storage;
    TBlobFile file = TBlobFile::create(storage, Plain(64));
    file.allocateBlock();
    file.allocateBlock();
    file.writeHeader();
    if (c.at == 8) {
      storage.bytes[8] = static_cast<std::uint8_t>(c.value);
    } else {
      PutI32(storage.bytes, c.at, c.value);
    }
    EXPECT_KEEL_ERROR(TBlobFile::open(storage, Plain(64)), c.expected);
  }

  MemoryStorage truncated;
  truncated.bytes.assign(100, 0);
  EXPECT_KEEL_ERROR(TBlobFile::open(truncated, Plain()), ErrorCode::KEEL_READERR);
}

TEST(BlobFile, EngineSignatureOrStandardDigestOpens) {
  TBlobFile::Options own = Plain();
  own.engineSignature = Md5("our own engine");
  MemoryStorage ownFile;
  TBlobFile::create(ownFile, own);
  EXPECT_NO_THROW(TBlobFile::open(ownFile, own));
  EXPECT_KEEL_ERROR(TBlobFile::open(ownFile, Plain()), ErrorCode::KEEL_BADSIGNATURE);

  MemoryStorage standardFile;
  TBlobFile::create(standardFile, Plain());
  EXPECT_NO_THROW(TBlobFile::open(standardFile, own));
}

TEST(BlobFile, InvalidBlockSizeGives9498) {
  for (std::int32_t size : {0, 56, 100, 65544}) {
    SCOPED_TRACE(size);
    MemoryStorage storage;
    EXPECT_KEEL_ERROR(TBlobFile::create(storage, Plain(size)), ErrorCode::KEEL_BLOBLIMIT);
  }
}

TEST(BlobFile, RefreshNoticesAnotherWriter) {
  MemoryStorage storage;
  TBlobFile reader = TBlobFile::create(storage, Plain());
  TBlobFile writer = TBlobFile::open(storage, Plain());
  EXPECT_FALSE(reader.refreshHeader());
  BlobReference reference;
  writer.writeChain(reference, Letters(10), 1);
  writer.writeHeader();
  EXPECT_TRUE(reader.refreshHeader());
  EXPECT_EQ(reader.blockCount(), 1);
  EXPECT_EQ(reader.readChain(reference), Letters(10));
}

TEST(BlobFile, EmptyCutsBackToHeader) {
  MemoryStorage storage;
  TBlobFile file = TBlobFile::create(storage, Plain());
  BlobReference reference;
  file.writeChain(reference, Letters(2000), 1);
  file.empty();
  file.writeHeader();
  EXPECT_EQ(storage.bytes.size(), 512u);
  EXPECT_EQ(TBlobFile::open(storage, Plain()).blockCount(), 0);
}

}  // namespace
}  // namespace keel
