#pragma once

// The BLOB file of one open table: values of BLOB fields as chains of blocks,
// read and written through the page cache with one block as the unit.
// Layout: docs/formats/blob-file.md.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/core/BlobFormat.h"
#include "engine/core/BufferedFile.h"
#include "engine/core/EngineSettings.h"

namespace keel {

// One block copied out of the cache: its header and its S - 18 data bytes.
struct BlobBlock {
  BlobBlockHeader header;
  std::vector<std::uint8_t> data;
};

class TBlobFile final : public TBufferedFile {
public:
  struct Options {
    std::string tableName;         // context of the BLOB errors raised here
    std::int32_t blockSize = 512;  // from the data file header
    TEngineSettings settings;      // signature, size limit, cache budget
    std::uint64_t sizeLimit = 0;   // bytes; 0 = the engine's data file limit
  };

  // 9498 for a block size outside 64..65536 or not a multiple of 8.
  TBlobFile(TFileRegistry& registry, std::string path, EngineFileFlags flags, Options options);

  // Creates (or replaces) the file with a new header: version 6, the engine
  // signature, next block 1, HeaderChangeCount 0.
  void createFile();
  // Opens the file and checks its header: a version byte below 7 but not 6
  // gives 12035, 7 or more 12036; a signature matching neither the engine's
  // nor the standard digest 12036; counts the file cannot hold 8961.
  // An encrypted table's cipher must be set before.
  void openFile();
  // For a repair: opens the file and mends its header where the file tells
  // better: version, signature, the block count (from the file's length; a
  // block it holds only in part is not counted, and the repair cuts it off)
  // and a free-block head outside the blocks. Answers one line per item mended; the header is written by the
  // repair's write back.
  std::vector<std::string> openForRepair();

  std::int32_t blockSize() const { return options_.blockSize; }
  std::size_t dataSize() const { return static_cast<std::size_t>(options_.blockSize) - BlobBlockHeader::kSize; }
  std::int32_t blockCount() const { return header_.nextBlock - 1; }
  const BlobFileHeader& header() const { return header_; }
  const std::string& tableName() const { return options_.tableName; }

  // Block n (1..block count); another n gives 8963.
  BlobBlock readBlock(std::int32_t n);
  // Replaces block n; data larger than a block's data area gives 10029,
  // shorter data is padded with zeros.
  void writeBlock(std::int32_t n, const BlobBlock& block);
  // A cleared block for a chain: the head of the free-block chain when there
  // is one (its next link becomes the head), else a new block at the end of
  // the file (9479 when that passes the engine's file size limit).
  std::int32_t allocateBlock();

  // Makes `blocks`, in this order, the free-block chain (a repair found them
  // in no chain); the blocks are cleared.
  void rebuildFreeChain(const std::vector<std::int32_t>& blocks);

  // The stored bytes of the value at `reference` (not yet decompressed);
  // nullopt when the first block's stamp differs from the reference's (the
  // value was rewritten since the row was read) or the table changed while
  // reading. Damage raises 8963 (bad or cyclic link, impossible length) or
  // 8711 (a block or chain ending early).
  std::optional<std::vector<std::uint8_t>> readChain(BlobReference reference);
  // Stores `stored` under `stamp` in the chain of `reference`, allocating a
  // first block when it has none and more blocks as the chain needs. Blocks
  // past the value stay linked for later, longer values. Every block is found
  // before any is changed, so a full file keeps the old value.
  void writeChain(BlobReference& reference, std::span<const std::uint8_t> stored, std::int32_t stamp);
  // Length 0 under `stamp`; the chain stays with the row slot.
  void emptyChain(BlobReference& reference, std::int32_t stamp);

  // Re-reads the header; true (and the cache dropped) when someone else
  // wrote it since it was read.
  bool refreshHeader();
  // Re-reads the header and drops the cache, changed or not.
  void reloadHeader();
  // Cuts the file back to its header and forgets every block.
  void empty();

  std::size_t unitSize() const override { return static_cast<std::size_t>(options_.blockSize); }
  std::uint64_t dataStart() const override { return BlobFileHeader::kSize; }
  std::int64_t unitCount() const override { return blockCount(); }
  std::size_t cacheCapacity() const override;
  void writeHeader(bool force) override;
  bool headerModified() const override { return headerModified_; }

protected:
  ErrorCode corruptError() const override { return ErrorCode::KEEL_MEMOCORRUPT; }
  void checkGrowth() override;
  void countAppendedUnit() override;
  std::size_t growthStep() const override { return 32; }
  std::size_t mruProbeCount() const override { return 4; }

private:
  TPinnedUnit pinBlock(std::int32_t n, std::size_t wanted = 1);
  void checkBlockNumber(std::int32_t n) const;
  BlobFileHeader readHeaderBytes();
  void adoptHeader(const BlobFileHeader& latest);
  void writeHeaderBytes();
  void checkHeader(const BlobFileHeader& header);
  void checkFreeChain();
  std::vector<std::int32_t> chainFor(BlobReference& reference, std::size_t blocksNeeded);
  [[noreturn]] void fail(ErrorCode code) const;

  Options options_;
  Md5Digest engineSignature_;
  BlobFileHeader header_;
  bool headerModified_ = false;
  bool freeChainChecked_ = false;
};

}  // namespace keel
