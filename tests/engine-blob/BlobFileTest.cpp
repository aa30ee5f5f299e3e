#include <gtest/gtest.h>

#include <string>

#include "engine/core/BlobFile.h"
#include "tests/engine-blob/BlobFileFixture.h"
#include "tests/engine-blob/ErrorMatchers.h"
#include "tests/engine-blob/HexBytes.h"

namespace keel {
namespace {

using testing::BlockFields;
using testing::Bytes;
using testing::Hex;
using testing::I32;
using testing::Letters;

class BlobFileTest : public testing::BlobFileFixture {};

TEST_F(BlobFileTest, NewFileHeaderBytes) {
  create();
  const auto bytes = disk();
  ASSERT_EQ(bytes.size(), 512u);
  std::vector<std::uint8_t> expected(512, 0);
  expected[8] = 6;
  const auto signature = Hex("8A BE 8E 59 23 64 CB 40 3D 71 D2 E3 BC 64 D0 01");
  std::copy(signature.begin(), signature.end(), expected.begin() + 9);
  expected[29] = 1;  // next block
  EXPECT_EQ(bytes, expected);
}

TEST_F(BlobFileTest, ThousandBytesInBlocksOf512TakeThreeBlocks) {
  auto file = create();
  const auto value = Letters(1000);
  BlobReference reference;
  file->writeChain(reference, value, 77);
  file->writeBack();

  EXPECT_EQ(reference, (BlobReference{1, 77}));
  const auto bytes = disk();
  ASSERT_EQ(bytes.size(), 512u + 3 * 512u);
  EXPECT_EQ(I32(bytes, 29), 4) << "next block number";
  EXPECT_EQ(I32(bytes, 0), 1) << "HeaderChangeCount advanced by the write";
  EXPECT_EQ(BlockFields(bytes, 512, 1), (std::vector<int>{0, 2, 494, 77, 1000}));
  EXPECT_EQ(BlockFields(bytes, 512, 2), (std::vector<int>{1, 3, 494, 0, 0}));
  EXPECT_EQ(BlockFields(bytes, 512, 3), (std::vector<int>{2, 0, 12, 0, 0}));
  EXPECT_EQ(bytes[512 + 2 * 512 + 18], value[988]) << "block data follows its 18-byte header";

  EXPECT_EQ(reopen()->readChain(reference), value);
}

TEST_F(BlobFileTest, ShorterValueKeepsChainAndLongerOneReusesIt) {
  auto file = create();
  BlobReference reference;
  file->writeChain(reference, Letters(1000), 1);

  file->writeChain(reference, Bytes("short"), 2);
  file->writeBack();
  EXPECT_EQ(BlockFields(disk(), 512, 1), (std::vector<int>{0, 2, 5, 2, 5})) << "blocks past the value stay linked";
  EXPECT_EQ(reopen()->readChain(reference), Bytes("short"));

  file->writeChain(reference, Letters(1400), 3);
  EXPECT_EQ(file->blockCount(), 3) << "no new block";
  EXPECT_EQ(file->readChain(reference), Letters(1400));

  file->writeChain(reference, Letters(1500), 4);
  file->writeBack();
  EXPECT_EQ(file->blockCount(), 4) << "a fourth block is appended to the chain";
  EXPECT_EQ(BlockFields(disk(), 512, 4)[0], 3);
  EXPECT_EQ(reopen()->readChain(reference), Letters(1500));
}

TEST_F(BlobFileTest, EmptyValueKeepsChainAndNeedsNoBlockInNewSlot) {
  auto file = create();
  BlobReference fresh;
  file->writeChain(fresh, {}, 5);
  EXPECT_EQ(fresh, (BlobReference{0, 5}));
  EXPECT_EQ(file->blockCount(), 0);
  EXPECT_EQ(file->readChain(fresh), std::vector<std::uint8_t>{});

  BlobReference used;
  file->writeChain(used, Letters(600), 6);
  file->emptyChain(used, 7);
  file->writeBack();
  EXPECT_EQ(used, (BlobReference{1, 7}));
  EXPECT_EQ(BlockFields(disk(), 512, 1), (std::vector<int>{0, 2, 494, 7, 0}));
  EXPECT_EQ(reopen()->readChain(used), std::vector<std::uint8_t>{});
}

TEST_F(BlobFileTest, StaleStampIsReportedNotRead) {
  auto file = create();
  BlobReference reference;
  file->writeChain(reference, Bytes("one"), 10);
  const BlobReference stale = reference;
  file->writeChain(reference, Bytes("two"), 11);
  EXPECT_FALSE(file->readChain(stale).has_value());
  EXPECT_EQ(file->readChain(reference), Bytes("two"));
}

TEST_F(BlobFileTest, FreeBlockChainIsHonouredWhenAllocating) {
  auto file = create(64);
  BlobReference reference;
  file->writeChain(reference, Letters(4 * 46), 1);  // blocks 1..4
  file->writeBack();
  // As another tool might leave it: blocks 4 then 2 free.
  pokeI32(25, 4);
  pokeI32(512 + 3 * 64 + 4, 2);
  pokeI32(512 + 1 * 64 + 4, 0);

  auto reopened = reopen(64);
  EXPECT_EQ(reopened->allocateBlock(), 4);
  EXPECT_EQ(reopened->header().freeHead, 2);
  EXPECT_EQ(reopened->allocateBlock(), 2);
  EXPECT_EQ(reopened->allocateBlock(), 5);
  EXPECT_EQ(reopened->header().nextBlock, 6);
  EXPECT_EQ(reopened->readBlock(4).header.next, 0) << "handed out cleared";
  reopened->writeBack();
  EXPECT_EQ(I32(disk(), 25), 0) << "free head written";
}

TEST_F(BlobFileTest, FileSizeLimitGives9479AndKeepsOldValue) {
  // Room for the header and exactly three 64-byte blocks.
  auto file = makeFile(64, {}, nullptr, 512 + 3 * 64);
  file->createFile();
  BlobReference reference;
  file->writeChain(reference, Letters(2 * 46), 1);
  file->writeBack();
  EXPECT_KEEL_ERROR(file->writeChain(reference, Letters(4 * 46), 2), ErrorCode::KEEL_TABLEFULL);
  EXPECT_EQ(file->blockCount(), 3);
  EXPECT_EQ(file->readChain(reference), Letters(2 * 46)) << "no half-written value";
  file->writeBack();
  EXPECT_EQ(reopen(64)->readChain(reference), Letters(2 * 46));
}

TEST_F(BlobFileTest, BlockLargerThanDataAreaGives10029) {
  auto file = create(64);
  const std::int32_t n = file->allocateBlock();
  BlobBlock block;
  block.data.assign(47, 1);
  EXPECT_KEEL_ERROR(file->writeBlock(n, block), ErrorCode::KEEL_INVALIDBLOBLEN);
}

// Damaged chains in a file with block size 64 holding one 3-block value
// (blocks 1 -> 2 -> 3, 46 + 46 + 8 bytes) and a fourth unused block.
TEST_F(BlobFileTest, DamagedChainsRaiseTheirErrors) {
  constexpr std::size_t S = 64;
  struct Case {
    const char* what;
    std::size_t block;  // whose header is overwritten
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
    BlobReference reference;
    {
      auto file = create(S);
      file->writeChain(reference, Letters(100), 1);
      file->allocateBlock();
      file->writeBack();
    }
    const std::size_t at = 512 + (c.block - 1) * S + c.field;
    if (c.field == 8) {
      poke(at, {static_cast<std::uint8_t>(c.value), 0});
    } else {
      pokeI32(at, c.value);
    }
    EXPECT_KEEL_ERROR(reopen(S)->readChain(reference), c.expected);
  }
}

TEST_F(BlobFileTest, ReferenceOutsideFileAndCyclicFreeChainGive8963) {
  {
    auto file = create(64);
    BlobReference reference;
    file->writeChain(reference, Letters(100), 1);
    file->writeBack();
    EXPECT_KEEL_ERROR(file->readChain({7, 1}), ErrorCode::KEEL_MEMOCORRUPT);
    EXPECT_KEEL_ERROR(file->readChain({-2, 1}), ErrorCode::KEEL_MEMOCORRUPT);
  }
  pokeI32(25, 2);             // free head: block 2
  pokeI32(512 + 64 + 4, 3);   // 2 -> 3
  pokeI32(512 + 128 + 4, 2);  // 3 -> 2
  EXPECT_KEEL_ERROR(reopen(64)->allocateBlock(), ErrorCode::KEEL_MEMOCORRUPT);
}

TEST_F(BlobFileTest, DamagedHeadersAreRefusedOnOpen) {
  struct Case {
    const char* what;
    std::size_t at;
    std::int32_t value;  // a byte at offset 8, else an int32
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
    {
      auto file = create(64);
      file->allocateBlock();
      file->allocateBlock();
      file->writeBack();
    }
    if (c.at == 8) {
      poke(8, {static_cast<std::uint8_t>(c.value)});
    } else {
      pokeI32(c.at, c.value);
    }
    EXPECT_KEEL_ERROR(reopen(64), c.expected);
  }

  cut(100);
  EXPECT_KEEL_ERROR(reopen(64), ErrorCode::KEEL_READERR);
}

TEST_F(BlobFileTest, EngineSignatureOrStandardDigestOpens) {
  TEngineSettings own;
  own.EngineSignature = "our own engine";
  create(512, own);
  EXPECT_NO_THROW(reopen(512, own));
  EXPECT_KEEL_ERROR(reopen(512), ErrorCode::KEEL_BADSIGNATURE);

  create(512);
  EXPECT_NO_THROW(reopen(512, own));
}

TEST_F(BlobFileTest, InvalidBlockSizeGives9498) {
  for (std::int32_t size : {0, 56, 100, 65544}) {
    SCOPED_TRACE(size);
    EXPECT_KEEL_ERROR(makeFile(size), ErrorCode::KEEL_BLOBLIMIT);
  }
}

TEST_F(BlobFileTest, RefreshNoticesAnotherWriter) {
  auto reader = create();
  auto writer = reopen();
  EXPECT_FALSE(reader->refreshHeader());
  BlobReference reference;
  writer->writeChain(reference, Letters(10), 1);
  writer->writeBack();
  EXPECT_TRUE(reader->refreshHeader());
  EXPECT_EQ(reader->blockCount(), 1);
  EXPECT_EQ(reader->readChain(reference), Letters(10));
}

TEST_F(BlobFileTest, EmptyCutsBackToHeader) {
  auto file = create();
  BlobReference reference;
  file->writeChain(reference, Letters(2000), 1);
  file->writeBack();
  file->empty();
  file->writeBack();
  EXPECT_EQ(disk().size(), 512u);
  EXPECT_EQ(reopen()->blockCount(), 0);
}

TEST_F(BlobFileTest, CacheBudgetFollowsEngineSettings) {
  EXPECT_EQ(makeFile(512)->cacheCapacity(), TEngineSettings().MaxTableBlobBufferSize / (512 + 56));
  TEngineSettings small;
  small.MaxTableBlobBufferSize = 32768;
  EXPECT_EQ(makeFile(512, small)->cacheCapacity(), 32768u / (512 + 56));  // 57
  EXPECT_EQ(makeFile(65536, small)->cacheCapacity(), 1u);                  // never none
  TEngineSettings fewer;
  fewer.MaxTableBlobBufferCount = 10;
  EXPECT_EQ(makeFile(64, fewer)->cacheCapacity(), 10u);
}

// Random damage anywhere in a small file: every operation either works or
// raises an engine error; none crashes, hangs or reads outside the file.
TEST_F(BlobFileTest, RandomDamageOnlyEverRaisesEngineErrors) {
  constexpr std::int32_t S = 64;
  std::vector<BlobReference> references(3);
  {
    auto file = create(S);
    file->writeChain(references[0], Letters(100), 1);
    file->writeChain(references[1], Letters(10), 2);
    file->writeChain(references[2], Letters(300), 3);
    file->writeBack();
  }
  const std::vector<std::uint8_t> sound = disk();
  std::uint32_t state = 99;
  auto random = [&state](std::uint32_t bound) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % bound;
  };
  int raised = 0;
  for (int round = 0; round < 400; ++round) {
    std::vector<std::uint8_t> damaged = sound;
    const std::uint32_t flips = 1 + random(4);
    for (std::uint32_t i = 0; i < flips; ++i) {
      // Mostly the header fields and block headers, where damage matters.
      const std::uint32_t block = random(static_cast<std::uint32_t>((sound.size() - 512) / S) + 1);
      const std::size_t at = block == 0 ? random(40) : 512 + (block - 1) * S + random(18);
      damaged[at] = static_cast<std::uint8_t>(random(256));
    }
    lay(damaged);
    try {
      auto file = reopen(S);
      for (BlobReference reference : references) {
        if (auto value = file->readChain(reference)) {
          EXPECT_LE(value->size(), damaged.size());
        }
      }
      BlobReference reference = references[static_cast<std::size_t>(random(3))];
      file->writeChain(reference, Letters(random(400)), 9);
      file->writeBack();
    } catch (const EKeelEngineError&) {
      ++raised;
    }
  }
  EXPECT_GT(raised, 0) << "the damage was noticed at least sometimes";
}

}  // namespace
}  // namespace keel
